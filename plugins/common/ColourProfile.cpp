#include "ColourProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <thread>
#include <type_traits>
#include <vector>

#include "Freer.h"
#include "UsableCores.h"

namespace vantoria::spi {

namespace {

using ContextPtr = std::unique_ptr<std::remove_pointer_t<cmsContext>, Freer<cmsDeleteContext>>;
using ProfilePtr = std::unique_ptr<void, Freer<cmsCloseProfile>>;
using TransformPtr = std::unique_ptr<void, Freer<cmsDeleteTransform>>;
using CurvePtr = std::unique_ptr<cmsToneCurve, Freer<cmsFreeToneCurve>>;

// The library reports a bad profile through a failed call; nothing printed.
void Quiet(cmsContext, cmsUInt32Number, const char*) {}

// A grey profile reads the first of each pixel's three (equal) samples.
constexpr cmsUInt32Number kGreyOfBgr = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);

// A conversion that moves no sample of this grid by more than one level is
// sRGB under another name (most cameras embed one): the picture is left as
// it is, byte for byte, and costs nothing.
bool NearlyIdentity(cmsHTRANSFORM transform) {
    constexpr int kStep = 15;  // 0, 15, ..., 255
    std::vector<std::uint8_t> in, out;
    for (int b = 0; b <= 255; b += kStep)
        for (int g = 0; g <= 255; g += kStep)
            for (int r = 0; r <= 255; r += kStep) in.insert(in.end(), {std::uint8_t(b), std::uint8_t(g), std::uint8_t(r)});
    out.resize(in.size());
    cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size() / 3));
    const bool grey = cmsGetTransformInputFormat(transform) == kGreyOfBgr;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int expected = grey ? in[i - i % 3] : in[i];
        if (std::abs(out[i] - expected) > 1) return false;
    }
    return true;
}

struct Primaries {
    cmsCIExyY white;
    cmsCIExyYTRIPLE rgb;
};

constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};
constexpr cmsCIExyY kIlluminantC = {0.310, 0.316, 1.0};

// H.273 colour primaries; those not listed are not supported.
std::optional<Primaries> PrimariesOf(int code) {
    switch (code) {
    case 1:  // BT.709, sRGB
    case 2:  // unspecified
        return Primaries{kD65, {{0.640, 0.330, 1}, {0.300, 0.600, 1}, {0.150, 0.060, 1}}};
    case 4:  // BT.470 System M
        return Primaries{kIlluminantC, {{0.670, 0.330, 1}, {0.210, 0.710, 1}, {0.140, 0.080, 1}}};
    case 5:  // BT.470 System B, G; BT.601 625 lines
        return Primaries{kD65, {{0.640, 0.330, 1}, {0.290, 0.600, 1}, {0.150, 0.060, 1}}};
    case 6:  // BT.601 525 lines
    case 7:  // SMPTE 240M
        return Primaries{kD65, {{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}}};
    case 8:  // generic film
        return Primaries{kIlluminantC, {{0.681, 0.319, 1}, {0.243, 0.692, 1}, {0.145, 0.049, 1}}};
    case 9:  // BT.2020, BT.2100
        return Primaries{kD65, {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}};
    case 11:  // DCI-P3
        return Primaries{{0.314, 0.351, 1}, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}};
    case 12:  // Display P3
        return Primaries{kD65, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}};
    case 22:  // EBU Tech 3213-E
        return Primaries{kD65, {{0.630, 0.340, 1}, {0.295, 0.605, 1}, {0.155, 0.077, 1}}};
    default:
        return std::nullopt;
    }
}

// An H.273 transfer characteristic as a parametric curve from signal to
// light: the library's type 1 (a power) or type 4 (a power with a linear foot).
struct Curve {
    int type;
    cmsFloat64Number params[5];
};

constexpr Curve kSrgbCurve = {4, {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}};
constexpr Curve kGamma22 = {1, {2.2}};
constexpr Curve kGamma28 = {1, {2.8}};
constexpr Curve kSmpte240 = {4, {1 / 0.45, 1 / 1.1115, 0.1115 / 1.1115, 1 / 4.0, 0.0913}};
constexpr Curve kLinear = {1, {1.0}};

// Null for curves not supported.
const Curve* CurveOf(int code) {
    switch (code) {
    case 1:   // BT.709
    case 2:   // unspecified
    case 6:   // BT.601
    case 13:  // sRGB
    case 14:  // BT.2020, 10 bits
    case 15:  // BT.2020, 12 bits
        return &kSrgbCurve;
    case 4:
        return &kGamma22;
    case 5:
        return &kGamma28;
    case 7:
        return &kSmpte240;
    case 8:
        return &kLinear;
    default:
        return nullptr;
    }
}

}  // namespace

struct ToSrgb::Lcms {
    ContextPtr context;
    TransformPtr transform;  // made in, and freed before, the context
    ~Lcms() { transform.reset(); }
};

namespace {

// The context every handle of one conversion is made in, so that no setting
// of the host's own use of the library matters here.
ContextPtr NewContext() {
    ContextPtr context(cmsCreateContext(nullptr, nullptr));
    if (context) cmsSetLogErrorHandlerTHR(context.get(), &Quiet);
    return context;
}

// To sRGB from `profile`; none when the library refuses it or it changes
// (next to) nothing.
TransformPtr TransformFrom(cmsContext context, cmsHPROFILE profile) {
    // Signatures as numbers: a file may hold any, not only the enumerations' values.
    const std::uint32_t space = cmsGetColorSpace(profile);
    if (space != cmsSigRgbData && space != cmsSigGrayData) return nullptr;
    const std::uint32_t kind = cmsGetDeviceClass(profile);
    // Device links, abstract and named-colour profiles describe no picture's samples.
    if (kind != cmsSigInputClass && kind != cmsSigDisplayClass && kind != cmsSigOutputClass &&
        kind != cmsSigColorSpaceClass)
        return nullptr;
    const ProfilePtr srgb(cmsCreate_sRGBProfileTHR(context));
    if (!srgb) return nullptr;
    const cmsUInt32Number input = space == cmsSigGrayData ? kGreyOfBgr : TYPE_BGR_8;
    // No one-pixel cache: the transform is then safe from several threads.
    TransformPtr transform(cmsCreateTransformTHR(context, profile, input, srgb.get(), TYPE_BGR_8,
                                                 INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
    if (!transform || NearlyIdentity(transform.get())) return nullptr;
    return transform;
}

}  // namespace

ToSrgb::ToSrgb(std::unique_ptr<Lcms> lcms) : lcms_(std::move(lcms)) {}
ToSrgb::ToSrgb(ToSrgb&&) noexcept = default;
ToSrgb& ToSrgb::operator=(ToSrgb&&) noexcept = default;
ToSrgb::~ToSrgb() = default;

std::optional<ToSrgb> ToSrgb::FromIcc(std::span<const std::uint8_t> icc) {
    // 128 bytes of header and a tag count, at the least.
    if (icc.size() < 132 || icc.size() > kMaxProfileBytes) return std::nullopt;
    auto lcms = std::make_unique<Lcms>();
    lcms->context = NewContext();
    if (!lcms->context) return std::nullopt;
    const ProfilePtr profile(
        cmsOpenProfileFromMemTHR(lcms->context.get(), icc.data(), static_cast<cmsUInt32Number>(icc.size())));
    if (!profile) return std::nullopt;
    lcms->transform = TransformFrom(lcms->context.get(), profile.get());
    if (!lcms->transform) return std::nullopt;
    return ToSrgb(std::move(lcms));
}

std::optional<ToSrgb> ToSrgb::FromCicp(Cicp cicp) {
    const auto primaries = PrimariesOf(cicp.primaries);
    const Curve* const curve = CurveOf(cicp.transfer);
    if (!primaries || curve == nullptr) return std::nullopt;
    const bool srgbPrimaries = cicp.primaries == 1 || cicp.primaries == 2;
    if (srgbPrimaries && curve == &kSrgbCurve) return std::nullopt;  // sRGB already
    auto lcms = std::make_unique<Lcms>();
    lcms->context = NewContext();
    if (!lcms->context) return std::nullopt;
    const CurvePtr toLight(cmsBuildParametricToneCurve(lcms->context.get(), curve->type, curve->params));
    if (!toLight) return std::nullopt;
    cmsToneCurve* const curves[3] = {toLight.get(), toLight.get(), toLight.get()};
    const ProfilePtr profile(cmsCreateRGBProfileTHR(lcms->context.get(), &primaries->white, &primaries->rgb, curves));
    if (!profile) return std::nullopt;
    lcms->transform = TransformFrom(lcms->context.get(), profile.get());
    if (!lcms->transform) return std::nullopt;
    return ToSrgb(std::move(lcms));
}

void ToSrgb::Convert(std::uint8_t* bgr, std::size_t count) const {
    // The library counts pixels in 32 bits.
    constexpr std::size_t kMost = std::size_t{1} << 30;
    for (std::size_t done = 0; done < count; done += kMost) {
        const std::size_t n = std::min(kMost, count - done);
        cmsDoTransform(lcms_->transform.get(), bgr + 3 * done, bgr + 3 * done, static_cast<cmsUInt32Number>(n));
    }
}

void ToSrgb::Convert(Dib24& picture) const {
    const int height = picture.Height();
    const auto width = static_cast<std::size_t>(picture.Width());
    // About 10 ns a pixel on one core: a photograph is shared out, in bands
    // of rows in memory order (the padding between rows is skipped).
    constexpr std::size_t kPixelsPerBand = std::size_t{1} << 20;
    const std::size_t pixels = width * static_cast<std::size_t>(height);
    const std::size_t most = pixels >= 2 * kPixelsPerBand ? std::min<std::size_t>(UsableCores(), 8) : 1;
    const int bands = static_cast<int>(std::clamp<std::size_t>(pixels / kPixelsPerBand, 1, most));
    auto band = [&](int i) {
        const auto from = static_cast<int>(std::int64_t{height} * i / bands);
        const auto to = static_cast<int>(std::int64_t{height} * (i + 1) / bands);
        for (int y = from; y < to; ++y) Convert(picture.Bits() + picture.Stride() * static_cast<std::size_t>(y), width);
    };
    std::vector<std::jthread> workers;  // joined on leaving, while `band` lives
    int started = 1;
    for (; started < bands; ++started) {
        try {
            workers.emplace_back(band, started);
        } catch (const std::exception&) {
            break;  // no more threads to be had: this one does the rest
        }
    }
    band(0);
    for (int i = started; i < bands; ++i) band(i);
}

}  // namespace vantoria::spi
