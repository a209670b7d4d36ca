#pragma once

namespace support {

// The implementation of a platform seam that is in use: one installed by the program or a test
// (not owned), or else the seam's own default.
template <typename Interface>
class Installed {
public:
    static Interface &Or(Interface &fallback) { return s_installed ? *s_installed : fallback; }
    // nullptr restores the default.
    static void Install(Interface *implementation) { s_installed = implementation; }

private:
    static inline Interface *s_installed = nullptr;
};

} // namespace support
