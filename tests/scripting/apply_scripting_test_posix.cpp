// Scripting from the outside: `tarnwell apply` with --set, --record and --replay, running the
// real plug-in module over a small picture, the way a user scripts the filter.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/descriptor.h"
#include "host/descriptor_json.h"
#include "host/picture.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "params/script_keys.h"

namespace tw::host {
namespace {

const std::string kBin = TARNWELL_BIN_DIR;
const std::string kTarnwell = kBin + "/tarnwell";
const std::string kPlugin = kBin + "/Tarnwell.so";

struct Ran {
    int status = -1;
    std::string errors;
};

class ApplyScripting : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::FileExists(kTarnwell) || !platform::FileExists(kPlugin))
            GTEST_SKIP() << "tarnwell or the plug-in module is not built";
        char pattern[] = "/tmp/tarnwell-scripting-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        // An odd-sized picture with no symmetry, so swapped channels or rows would show.
        Picture picture;
        ASSERT_TRUE(picture.Allocate(37, 29, 3, 8));
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x) {
                uint8_t* p = &picture.data[(size_t(y) * picture.width + x) * 3];
                p[0] = uint8_t(x * 7);
                p[1] = uint8_t(y * 9);
                p[2] = uint8_t((x * y) & 0xFF);
            }
        std::string error;
        ASSERT_TRUE(WritePicture(Path("in.png"), picture, {}, error)) << error;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    Ran Apply(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"apply", Path("in.png")});
        arguments.push_back("-q");
        return Tarnwell(arguments);
    }

    Ran Tarnwell(std::vector<std::string> arguments) const {
        const std::string err_path = Path("stderr.txt");
        const pid_t child = fork();
        if (child == 0) {
            if (!std::freopen(err_path.c_str(), "w", stderr)) _exit(99);
            // The plug-in's cached settings go to the scratch folder, never the user's.
            setenv("TARNWELL_TEMP", (dir_ + "/").c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(kTarnwell.c_str())};
            for (std::string& a : arguments) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(kTarnwell.c_str(), argv.data());
            _exit(98);
        }
        int wait_status = 0;
        waitpid(child, &wait_status, 0);
        Ran ran;
        ran.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
        std::ifstream in(err_path);
        std::stringstream text;
        text << in.rdbuf();
        ran.errors = text.str();
        return ran;
    }

    std::vector<uint8_t> Bytes(const std::string& name) const {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(platform::ReadWholeFile(Path(name), bytes)) << name;
        return bytes;
    }

    std::string dir_;
};

TEST_F(ApplyScripting, ReplayingARecordReproducesTheRenderExactly) {
    Ran ran = Apply({Path("set.png"), "--set", "horizon=30", "--set=Glue=screendim", "--set", "style=simple",
                     "--set", "seed=7", "--record", Path("rec.json")});
    ASSERT_EQ(ran.status, 0) << ran.errors;

    Descriptor recorded;
    std::string error;
    ASSERT_TRUE(ReadDescriptorFile(Path("rec.json"), recorded, error)) << error;
    for (const ScriptKey& key : kScriptKeys) EXPECT_NE(recorded.Find(ScriptKeyCode(key)), nullptr) << key.name;
    EXPECT_EQ(recorded.Find(FourCC("0019"))->number, 30.0);
    EXPECT_EQ(recorded.Find(FourCC("0022"))->integer, 1);
    EXPECT_EQ(recorded.Find(FourCC("0016"))->integer, 7);
    EXPECT_EQ(FourCCText(recorded.Find(kGlueKey)->value), "GL62");
    EXPECT_EQ(recorded.Find(FourCC("0030"))->number, 40.0);  // not set: the plain default

    ran = Apply({Path("replay.png"), "--replay", Path("rec.json")});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_EQ(Bytes("set.png"), Bytes("replay.png"));

    // The settings reach the render: another horizon gives another picture.
    ran = Apply({Path("other.png"), "--replay", Path("rec.json"), "--set", "horizon=70"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_NE(Bytes("set.png"), Bytes("other.png"));
}

TEST_F(ApplyScripting, BadSettingsAndFilesAreRefusedBeforeAnythingIsWritten) {
    Ran ran = Apply({Path("out.png"), "--set", "horizon=130"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.errors.find("from 0 to 100"), std::string::npos) << ran.errors;

    ran = Apply({Path("out.png"), "--set", "wobble=3"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.errors.find("unknown setting"), std::string::npos) << ran.errors;

    // Settings are checked before anything is read: the missing replay file goes unnoticed.
    ran = Apply({Path("out.png"), "--replay", Path("missing.json"), "--set", "wavyness=3"});
    EXPECT_EQ(ran.status, 2);
    EXPECT_NE(ran.errors.find("did you mean \"Waviness\""), std::string::npos) << ran.errors;

    ran = Apply({Path("out.png"), "--replay", Path("missing.json")});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.errors.find("missing.json"), std::string::npos) << ran.errors;

    std::ofstream(Path("broken.json")) << "{\"descriptor\": [{\"key\": \"0019\"";
    ran = Apply({Path("out.png"), "--replay", Path("broken.json")});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.errors.find("not a recorded descriptor"), std::string::npos) << ran.errors;

    EXPECT_FALSE(platform::FileExists(Path("out.png")));
}

// Where the parameters of a run come from: nothing (the plain settings, every time), a
// settings file, the dice with a seed, or the cache the previous run left.
TEST_F(ApplyScripting, SettingsFileDiceAndLastRunChooseTheParameters) {
    Ran ran = Apply({Path("plain.png"), "--set", "style=simple"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    ran = Apply({Path("plain-again.png"), "--set", "style=simple"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_EQ(Bytes("plain.png"), Bytes("plain-again.png"));

    // A settings file written from the same values as --set renders the same picture.
    RenderParams params{};
    ResetParams(params);
    params.horizon = 30;
    params.style = kStyleSimple;
    params.color = Rgb16{0x1234, 0x5678, 0x9ABC};  // low bytes that 8-bit keys would lose
    ASSERT_TRUE(WriteSettings(Path("lake.q8r"), params, nullptr, false));
    ran = Apply({Path("from-file.png"), "--settings", Path("lake.q8r")});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_NE(Bytes("plain.png"), Bytes("from-file.png"));

    // The run just made was cached: --last renders it again without being told anything.
    ran = Apply({Path("last.png"), "--last"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_EQ(Bytes("from-file.png"), Bytes("last.png"));

    // The dice with a seed give the same look every time, and another seed another one.
    ran = Apply({Path("dice-a.png"), "--dice", "--random-seed", "11", "--set", "style=simple"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    ran = Apply({Path("dice-b.png"), "--dice", "--random-seed", "11", "--set", "style=simple"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    ran = Apply({Path("dice-c.png"), "--dice", "--random-seed", "12", "--set", "style=simple"});
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_EQ(Bytes("dice-a.png"), Bytes("dice-b.png"));
    EXPECT_NE(Bytes("dice-a.png"), Bytes("dice-c.png"));

    // Sources of parameters do not mix, and a missing or empty file is an error.
    EXPECT_EQ(Apply({Path("x.png"), "--dice", "--last"}).status, 2);
    EXPECT_EQ(Apply({Path("x.png"), "--last", "--set", "horizon=3"}).status, 2);
    EXPECT_EQ(Apply({Path("x.png"), "--random-seed", "3"}).status, 2);
    ran = Apply({Path("x.png"), "--settings", Path("missing.q8r")});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.errors.find("missing.q8r"), std::string::npos) << ran.errors;
    std::ofstream(Path("empty.q8r")).flush();
    EXPECT_EQ(Apply({Path("x.png"), "--settings", Path("empty.q8r")}).status, 1);
    EXPECT_FALSE(platform::FileExists(Path("x.png")));
}

// A saved run renders again exactly: the plain settings and the cache they leave, a look
// whose light and centre fall between the steps a settings file keeps (hundredths, 1/65536),
// saved with `settings save`, recorded and replayed, and random settings; each followed by
// --last, which renders from the cached settings the previous run saved.
TEST_F(ApplyScripting, SavedSettingsReproduceTheRunThatSavedThem) {
    ASSERT_EQ(Apply({Path("plain.png")}).status, 0);
    ASSERT_EQ(Apply({Path("plain-last.png"), "--last"}).status, 0);
    EXPECT_EQ(Bytes("plain.png"), Bytes("plain-last.png")) << "the first run and the next differ";

    const std::vector<std::string> look = {"--set", "light=0.3,-0.7,0.65", "--set", "center=0.37,0.613",
                                           "--set", "waviness=33.3", "--set", "perspective=71"};
    std::vector<std::string> args = {Path("look.png"), "--record", Path("look.json")};
    args.insert(args.end(), look.begin(), look.end());
    Ran ran = Apply(args);
    ASSERT_EQ(ran.status, 0) << ran.errors;
    EXPECT_NE(Bytes("look.png"), Bytes("plain.png"));
    ASSERT_EQ(Apply({Path("look-last.png"), "--last"}).status, 0);
    EXPECT_EQ(Bytes("look.png"), Bytes("look-last.png"));

    args = {"settings", "save", Path("look.q8r")};
    args.insert(args.end(), look.begin(), look.end());
    ran = Tarnwell(args);
    ASSERT_EQ(ran.status, 0) << ran.errors;
    ASSERT_EQ(Apply({Path("look-file.png"), "--settings", Path("look.q8r")}).status, 0);
    EXPECT_EQ(Bytes("look.png"), Bytes("look-file.png"));

    ASSERT_EQ(Apply({Path("look-replay.png"), "--replay", Path("look.json")}).status, 0);
    EXPECT_EQ(Bytes("look.png"), Bytes("look-replay.png"));
    ASSERT_EQ(Apply({Path("look-replay-last.png"), "--last"}).status, 0);
    EXPECT_EQ(Bytes("look.png"), Bytes("look-replay-last.png"));

    for (const char* style : {"style=simple", "style=complex"}) {
        ASSERT_EQ(Apply({Path("dice.png"), "--dice", "--random-seed", "5", "--set", style}).status, 0);
        ASSERT_EQ(Apply({Path("dice-last.png"), "--last"}).status, 0);
        EXPECT_EQ(Bytes("dice.png"), Bytes("dice-last.png")) << style;
    }
}

}  // namespace
}  // namespace tw::host
