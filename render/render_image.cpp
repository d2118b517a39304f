// Whole-picture rendering in 64 x 64 jobs on plain threads.
#include "render/render_image.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "image/image_buffer.h"
#include "image/top_row_table.h"
#include "render/geometry.h"
#include "render/output_pass.h"
#include "render/water_state.h"

namespace tw {
namespace {

constexpr int32_t kJobSize = 64;

struct Shared {
    ImageBuffer* source;
    const RenderParams* params;
    // Built once, read by every worker; at over 100 KB it lives on the heap, since the
    // caller's thread may have a small stack.
    std::unique_ptr<NoiseTables> noise = std::make_unique<NoiseTables>();
    TopRowTable topRows;  // empty (buffer null) when it could not be made
    PassImage image;
    int32_t width, height, across, jobs;
    std::vector<float>* out;
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    int done = 0;
};

TileRect jobRect(const Shared& sh, int index) {
    const int32_t row = index / sh.across, col = index % sh.across;
    TileRect r{row * kJobSize, col * kJobSize, 0, 0};
    r.bottom = std::min(r.top + kJobSize, sh.height);
    r.right = std::min(r.left + kJobSize, sh.width);
    return r;
}

void runJobs(Shared& sh) {
    std::vector<PixelRecord> grid;
    WaterState state;
    for (int index = sh.next++; index < sh.jobs; index = sh.next++) {
        const TileRect job = jobRect(sh, index);
        // Not cleared between jobs: the geometry pass writes every field a later pass reads.
        grid.resize(gridRecordCount(job.right - job.left, job.bottom - job.top));
        const TopRowTable* topRows = sh.topRows.buffer ? &sh.topRows : nullptr;
        setupWaterState(state, *sh.params, *sh.noise, sh.image, sh.source, job, topRows);
        geometryPass(state, grid.data());
        luminancePass(state, grid.data());
        outputPass(state, grid.data());
        // Each job writes only its own rectangle of the output.
        const int32_t stride = job.right - job.left + 2;
        for (int32_t r = job.top; r < job.bottom; ++r) {
            const PixelRecord* rec = grid.data() + static_cast<ptrdiff_t>(r - job.top + 1) * stride + 1;
            float* dst = sh.out->data() + (static_cast<size_t>(r) * sh.width + job.left) * 4;
            for (int32_t c = job.left; c < job.right; ++c, ++rec, dst += 4)
                std::copy(rec->colour, rec->colour + 4, dst);
        }
        {
            std::lock_guard<std::mutex> lock(sh.mutex);
            ++sh.done;
        }
        sh.finished.notify_one();
    }
}

}  // namespace

bool renderImage(ImageBuffer& source, const RenderParams& params, const RenderImageRequest& request,
                 std::vector<float>& rgba) {
    if (request.width < 1 || request.height < 1 || source.empty()) return false;
    Shared sh;
    sh.source = &source;
    sh.params = &params;
    buildNoiseTables(*sh.noise, params.seed);
    if (passWantsTopRowTable(params)) buildTopRowTable(source, sh.topRows);
    sh.image = {source.width, source.height};
    sh.width = request.width;
    sh.height = request.height;
    sh.across = (request.width + kJobSize - 1) / kJobSize;
    sh.jobs = sh.across * ((request.height + kJobSize - 1) / kJobSize);
    rgba.assign(static_cast<size_t>(request.width) * request.height * 4, 0.0f);
    sh.out = &rgba;
    // Switch the edge mode before any worker samples, so set-up never writes it concurrently.
    source.edge_mode = kEdgeFoldBlur;

    const int threads = std::clamp(request.threads, 1, std::min(sh.jobs, 100));
    std::vector<std::thread> workers;
    for (int i = 1; i < threads; ++i) workers.emplace_back(runJobs, std::ref(sh));
    if (request.progress) {
        std::thread own(runJobs, std::ref(sh));
        int reported = 0;
        while (reported < sh.jobs) {
            std::unique_lock<std::mutex> lock(sh.mutex);
            sh.finished.wait(lock, [&] { return sh.done > reported; });
            const int done = sh.done;
            lock.unlock();
            reported = done;
            request.progress(request.context, done, sh.jobs);
        }
        own.join();
    } else {
        runJobs(sh);
    }
    for (std::thread& t : workers) t.join();
    return true;
}

}  // namespace tw
