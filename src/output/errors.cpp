#include "output/errors.h"

std::string ErrorText(platform::ErrorCode code) {
  switch (code) {
    case platform::IsStandardOutput: return "it is the standard output";
    case platform::IsStandardError: return "it is the standard error";
    case platform::FolderBusy: return "another run is writing in this folder";
    case platform::OutOfMemory: return platform::SystemErrorText(platform::NoMemory);
    case platform::ForeignLink: return "it is a symbolic link owned by another user";
    case platform::HeldLocked: return "another program holds it locked";
    default: return platform::SystemErrorText(code);
  }
}
