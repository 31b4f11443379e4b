#pragma once
// The helper's seccomp filters (libseccomp). Both return false where the
// kernel has no seccomp (or refuses the filter); the helper then decodes
// without them, as the README says.

namespace vantoria::imaging::helper {

// From the start, while the plug-ins load and their constructors run: no
// programs started, no process traced or signalled but this one, no
// network.
bool RestrictWhileLoading();

// Once the plug-ins are loaded, for the decode: only what decoding needs
// (reading the descriptors it holds, memory, threads, time, the reply on
// `socket`, exit). Opening files is refused with EACCES, every other call
// with EPERM.
bool RestrictForDecoding(int socket);

}  // namespace vantoria::imaging::helper
