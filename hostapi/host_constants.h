// Numeric constants of the host's filter plug-in interface: selectors, result codes, image
// modes, filter cases, padding values, layouts, colour services and the property-list and
// scripting codes. Values are the published ones; names follow the host's spelling.
#pragma once

#include <cstdint>

#include "hostapi/four_cc.h"
#include "hostapi/host_types.h"

namespace tw {

// Selectors the host passes to the entry point.
enum FilterSelector : int16_t {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

// Result codes. Any positive value means the plug-in has told the user already.
constexpr OSErr noErr = 0;
constexpr OSErr coercedParamErr = 2;
constexpr OSErr readErr = -19;
constexpr OSErr writErr = -20;
constexpr OSErr openErr = -23;
constexpr OSErr dskFulErr = -34;
constexpr OSErr ioErr = -36;
constexpr OSErr eofErr = -39;  // also "no more keys" in a descriptor
constexpr OSErr fnfErr = -43;
constexpr OSErr paramErr = -50;
constexpr OSErr memFullErr = -108;
constexpr OSErr nilHandleErr = -109;
constexpr OSErr memWZErr = -111;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr errMissingParameter = -1715;
constexpr OSErr filterBadParameters = -30100;
constexpr OSErr filterBadMode = -30101;
constexpr OSErr errPlugInHostInsufficient = -30900;
constexpr OSErr errPlugInPropertyUndefined = -30901;
constexpr OSErr errHostDoesNotSupportColStep = -30902;
constexpr OSErr errInvalidSamplePoint = -30903;
constexpr OSErr errReportString = -30904;  // the host shows `errorString`
constexpr OSErr errHostVersionIncompatible = -30905;

// Basic-suite errors; treat any non-zero value as failure.
constexpr SPErr kSPNoError = 0;
constexpr SPErr kSPSuiteNotFoundError = SPErr(FourCC("S!Fd"));
constexpr SPErr kSPBadParameterError = SPErr(FourCC("Parm"));
constexpr SPErr kSPUnimplementedError = SPErr(FourCC("!IMP"));
constexpr SPErr kSPOutOfMemoryError = -108;

// Image modes (`imageMode`).
enum ImageMode : int16_t {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
    plugInModeDeepMultichannel = 14,
    plugInModeDuotone16 = 15,
    plugInModeRGB96 = 16,
    plugInModeGray32 = 17,
};

// Filter cases (`filterCase`): what the host hands over and how transparency travels.
enum FilterCase : int16_t {
    filterCaseUnsupported = -1,
    filterCaseNotSet = 0,  // older host: look at haveMask and isFloating instead
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7,
};

// Per-case data handling in the property list's filter-case information.
enum FilterDataHandling : uint8_t {
    filterDataHandlingCantFilter = 0,
    filterDataHandlingNone = 1,
    filterDataHandlingBlackMat = 2,
    filterDataHandlingGrayMat = 3,
    filterDataHandlingWhiteMat = 4,
    filterDataHandlingDefringe = 5,
    filterDataHandlingBlackZap = 6,
    filterDataHandlingGrayZap = 7,
    filterDataHandlingWhiteZap = 8,
    filterDataHandlingFillMask = 9,
    filterDataHandlingBackgroundZap = 10,
    filterDataHandlingForegroundZap = 11,
};
constexpr uint8_t PIFilterDontCopyToDestinationBit = 0x01;
constexpr uint8_t PIFilterWorksWithBlankDataBit = 0x02;
constexpr uint8_t PIFilterFiltersLayerMaskBit = 0x04;
constexpr uint8_t PIFilterWritesOutsideSelectionBit = 0x08;

// Padding values for areas requested outside the image; 0..255 is a fill value.
constexpr int16_t plugInWantsEdgeReplication = -1;
constexpr int16_t plugInDoesNotWantPadding = -2;
constexpr int16_t plugInWantsErrorOnBoundsException = -3;

// `samplingSupport`: whether the host honours `inputRate`.
constexpr char hostDoesNotSupportSampling = 0;
constexpr char hostSupportsIntegralSampling = 1;
constexpr char hostSupportsFractionalSampling = 2;

// `wantLayout`.
enum PixelLayout : int16_t {
    piLayoutTraditional = 0,  // rows of columns of interleaved planes
    piLayoutRowsColumnsPlanes = 1,
    piLayoutRowsPlanesColumns = 2,
    piLayoutColumnsRowsPlanes = 3,
    piLayoutColumnsPlanesRows = 4,
    piLayoutPlanesRowsColumns = 5,
    piLayoutPlanesColumnsRows = 6,
};

// Interface version the host and plug-in speak.
constexpr int16_t latestFilterVersion = 4;
constexpr int16_t latestFilterSubVersion = 0;

// Procedure-record versions and counts as the current interface defines them. Hosts may
// give smaller counts; always check the count before calling a slot.
constexpr int16_t kCurrentHandleProcsVersion = 1;
constexpr int16_t kCurrentHandleProcsCount = 8;
constexpr int16_t kCurrentBufferProcsVersion = 2;
constexpr int16_t kCurrentBufferProcsCount = 8;
constexpr int16_t kCurrentResourceProcsVersion = 3;
constexpr int16_t kCurrentResourceProcsCount = 4;
constexpr int16_t kCurrentPropertyProcsVersion = 1;
constexpr int16_t kCurrentPropertyProcsCount = 2;
constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
constexpr int16_t kCurrentReadDescriptorProcsCount = 18;
constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;
constexpr int16_t kCurrentWriteDescriptorProcsCount = 16;
constexpr int16_t kCurrentDescriptorParametersVersion = 0;

// Colour services: selectors and colour spaces.
enum ColorServicesSelector : int16_t {
    plugIncolorServicesChooseColor = 0,
    plugIncolorServicesConvertColor = 1,
    plugIncolorServicesSamplePoint = 2,
    plugIncolorServicesGetSpecialColor = 3,
};
enum ColorSpace : int16_t {
    plugIncolorServicesChosenSpace = -1,
    plugIncolorServicesRGBSpace = 0,
    plugIncolorServicesHSBSpace = 1,
    plugIncolorServicesCMYKSpace = 2,
    plugIncolorServicesLabSpace = 3,
    plugIncolorServicesGraySpace = 4,
    plugIncolorServicesHSLSpace = 5,
    plugIncolorServicesXYZSpace = 6,
};
constexpr int32_t plugIncolorServicesForegroundColor = 0;
constexpr int32_t plugIncolorServicesBackgroundColor = 1;

// Host signatures seen in the wild (`hostSig`).
constexpr OSType kPhotoshopSignature = FourCC("8BIM");
constexpr OSType kPaintShopPro8Signature = FourCC("PSP8");
constexpr OSType kPaintShopPro9Signature = FourCC("PSP9");

// Basic-suite name of the module access suite.
constexpr const char* kSPAccessSuite = "SP Access Suite";
constexpr int32_t kSPAccessSuiteVersion = 3;

// ---- Scripting descriptors ------------------------------------------------------------

// `playInfo`: whether the plug-in may show its dialog when replaying.
constexpr int16_t plugInDialogDontDisplay = 0;  // only if parameters are missing or bad
constexpr int16_t plugInDialogDisplay = 1;
constexpr int16_t plugInDialogSilent = 2;       // never; fail with errorString instead
// `recordInfo`: set by the plug-in.
constexpr int16_t plugInDialogOptional = 0;
constexpr int16_t plugInDialogRequired = 1;
constexpr int16_t plugInDialogNone = 2;

// Descriptor value types.
constexpr uint32_t typeInteger = FourCC("long");
constexpr uint32_t typeFloat = FourCC("doub");
constexpr uint32_t typeEnumerated = FourCC("enum");
constexpr uint32_t typeBoolean = FourCC("bool");
constexpr uint32_t typeText = FourCC("TEXT");
constexpr uint32_t typeChar = FourCC("TEXT");
constexpr uint32_t typeUnitFloat = FourCC("UntF");
constexpr uint32_t typeImageReference = FourCC("#ImR");
constexpr uint32_t typeNull = FourCC("null");
constexpr uint32_t noReply = FourCC("null");
constexpr uint32_t typeClass = FourCC("type");
constexpr uint32_t typeObject = FourCC("Objc");
constexpr uint32_t typeAlias = FourCC("alis");
constexpr uint32_t typePath = FourCC("Pth ");
constexpr uint32_t unitPixels = FourCC("#Pxl");
constexpr uint32_t unitPercent = FourCC("#Prc");
constexpr uint32_t unitAngle = FourCC("#Ang");
constexpr uint32_t unitDistance = FourCC("#Rlt");
constexpr uint32_t unitNone = FourCC("#Nne");
constexpr uint32_t eventFilter = FourCC("Fltr");

// Flags returned by getKeyProc and written in terminology parameters.
constexpr int32_t actionSimpleParameter = 0x0000;
constexpr int32_t actionEnumeratedParameter = 0x2000;
constexpr int32_t actionListParameter = 0x4000;
constexpr int32_t actionOptionalParameter = 0x8000;

// ---- Property list (PiPL) -------------------------------------------------------------

constexpr OSType PIPhotoshopVendor = FourCC("8BIM");
constexpr OSType PIKindProperty = FourCC("kind");
constexpr OSType PIFilterKind = FourCC("8BFM");
constexpr OSType PIVersionProperty = FourCC("vers");
constexpr OSType PIWin64X86CodeProperty = FourCC("8664");
constexpr OSType PINameProperty = FourCC("name");
constexpr OSType PICategoryProperty = FourCC("catg");
constexpr OSType PIImageModesProperty = FourCC("mode");
constexpr OSType PIEnableInfoProperty = FourCC("enbl");
constexpr OSType PIFilterCaseInfoProperty = FourCC("fici");
constexpr OSType PIHasTerminologyProperty = FourCC("hstm");
constexpr int32_t PIFilterVersion = 0x00040000;  // (major << 16) | minor

}  // namespace tw
