// describeError of FileApi.h: the system's wording of the error codes this
// layer sets, the same on every platform so that messages do not depend on
// where the tool runs.
#include <string>

#include "platform/FileApi.h"

namespace platform {

std::string describeError(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND:
      return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND:
      return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_INVALID_HANDLE:
      return "The handle is invalid.";
    case ERROR_NOT_SAME_DEVICE:
      return "The system cannot move the file to a different disk drive.";
    case ERROR_NO_MORE_FILES:
      return "There are no more files.";
    case ERROR_WRITE_FAULT:
      return "The system cannot write to the specified device.";
    case ERROR_GEN_FAILURE:
      return "A device attached to the system is not functioning.";
    case ERROR_SHARING_VIOLATION:
      return "The file is in use.";
    case ERROR_FILE_EXISTS:
      return "The file exists.";
    case ERROR_INVALID_PARAMETER:
      return "The parameter is incorrect.";
    case ERROR_DISK_FULL:
      return "There is not enough space on the disk.";
    case ERROR_INVALID_NAME:
      return "The file name, directory name, or volume label syntax is incorrect.";
    case ERROR_DIR_NOT_EMPTY:
      return "The directory is not empty.";
    case ERROR_ALREADY_EXISTS:
      return "Cannot create a file when that file already exists.";
    case ERROR_FILENAME_EXCED_RANGE:
      return "The filename or extension is too long.";
    case ERROR_DIRECTORY:
      return "The directory name is invalid.";
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      return "Unable to move the replacement file to the file to be replaced.";
    case ERROR_INVALID_FUNCTION:
      return "Incorrect function.";
    case ERROR_LOCK_VIOLATION:
      return "The process cannot access the file because another process has locked a portion "
             "of the file.";
    case ERROR_NOT_SUPPORTED:
      return "The request is not supported.";
    case ERROR_NEGATIVE_SEEK:
      return "An attempt was made to move the file pointer before the beginning of the file.";
    case ERROR_CANT_ACCESS_FILE:
      return "The file cannot be accessed by the system.";
    default:
      return "Error " + std::to_string(code) + ".";
  }
}

}  // namespace platform
