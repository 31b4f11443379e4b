#pragma once
// The one base of the errors the core reports (a damaged file, a registry
// that cannot be written, a bad argument...): `catch (const Error&)` takes
// every failure meant for the user, and leaves out what is not (no memory,
// a broken invariant). Each subsystem derives its own, named for it.

#include <stdexcept>

namespace vantoria {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vantoria
