#include "vfs/vfs-result.h"

// Indexed by UlvoVfsResult.
static const char *const result_texts[ULVO_VFS_NUM_ERRORS] = {
    "No error",
    "File not found",
    "Generic error",
    "Internal error",
    "Invalid parameters",
    "Unsupported operation",
    "I/O error",
    "Data corrupted",
    "Format not valid",
    "Bad file handle",
    "File too big",
    "No space left on device",
    "Read-only file system",
    "Invalid URI",
    "File not open",
    "Open mode not valid",
    "Access denied",
    "Too many open files",
    "End of file",
    "Not a directory",
    "Operation in progress",
    "Operation interrupted",
    "File exists",
    "Looping links encountered",
    "Operation not permitted",
    "Is a directory",
    "Not enough memory",
    "Host not found",
    "Host name not valid",
    "Host has no address",
    "Login failed",
    "Operation cancelled",
    "Directory busy",
    "Directory not empty",
    "Too many links",
    "Read only file system",
    "Not on the same file system",
    "Name too long",
    "Service not available",
    "Request obsoletes service's data",
    "Protocol error",
    "Could not find master browser",
    "No default action associated",
    "No handler for URL scheme",
    "Error parsing command line",
    "Error launching command",
    "Timeout reached",
    "Nameserver error",
    "The resource is locked",
    "Function call deprecated",
    "Invalid filename",
    "Not a symbolic link",
};

const char *ulvo_vfs_result_to_string(UlvoVfsResult result)
{
    int index = int(result);
    if (index < 0 || index >= ULVO_VFS_NUM_ERRORS)
        return "Unknown error";
    return result_texts[index];
}
