#include "conduit/kivPalmSyncError.h"

#include <iterator>

namespace kiv {

namespace {

struct PalmErrorText {
    int32_t code;
    const char* text;
};

// Texts exactly as the Palm Desktop documents them, odd spacing and missing
// full stops included: other software compares these messages.
constexpr PalmErrorText kPalmErrorTexts[] = {
    {0, "The function call was successful."},
    {-1, "A nonspecific error."},
    {4097, "There are no categories defined on the handheld."},
    {4098, "There are no categories defined on the desktop computer."},
    {4099, "The categories could not be saved on the handheld."},
    {4100, "The tables could not be read from the handheld."},
    {4101, "The tables could not be read on the desktop computer."},
    {4102, "The backup table could not be read on the desktop computer."},
    {4103, "Could not add a record to the desktop computer tables."},
    {4104, "Could not add a record on the handheld."},
    {4105, "Could not change a record on the handheld."},
    {4106, "Could not allocate memory for a record."},
    {4107, "The changes were not successfully sent to the handheld."},
    {4108, "Could not allocate memory on the desktop computer."},
    {4109, "Could not convert a record' s category to a category on the handheld."},
    {4110, "Could not convert a record' s category to a category on the desktop computer."},
    {4111, "Could not convert a desktop computer record to a record on the handheld."},
    {4112, "Could not convert a handheld record to a record on the desktop computer."},
    {4113, "The records on the handheld could not be successfully purged."},
    {4114, "The specified synchronization type is not valid."},
    {4176, "Dates before 1970 were moved to a valid date."},
    {4192, "The file link failed."},
    {4209, "A pointer is not valid."},
    {4210, "The buffer is too small to contain the data."},
    {4211, "The buffer size is not valid for the buffer."},
    {4212, "The input arguments pointer is not valid."},
    {4213, "The input arguments structure is not valid."},
    {4214, "Could not read a resource from your conduit' s DLL."},
    {4215, "The output size pointer is not valid."},
    {4216, "The output arguments size is not valid."},
    {4217, "The specified CfgConduit enumeration value is not supported."},
    {4218, "The argument size is not valid."},
    {4219, "The version number of the structure is not supported on the handheld."},
    {16385, "An unknown error occurred (local/remote)"},
    {16386, "Not used."},
    {16387, "The requested database, record, resource, etc. could not be found."},
    {16388, "The attempt to open the database failed."},
    {16389, "Not used."},
    {16390, "The requested record is in use by someone else and will remain so indefinitely."},
    {16391, "The requested record has either been deleted or archived."},
    {16393, "Caller does not have write access or database is in ROM"},
    {16394, "An internal error code that indicates communications have not been initialized."},
    {16395, "The database could not be created because another database with the same name already exists on the handheld."},
    {16396, "The requested database is already opened."},
    {16397, "An operation was requested on a database, and there are not any open databases."},
    {16398, "The requested operation is not supported on the given database type (record or resource)."},
    {16399, "An invalid argument has been passed to the handheld."},
    {16400, "An internal Desktop Link error that indicates a protocol implementation error"},
    {16401, "An internal Desktop Link error that indicates a protocol implementation error."},
    {16402, "The passed buffer is too small for the reply data."},
    {16403, "There is insufficient memory on the handheld to receive or complete the request."},
    {16404, "There is insufficient memory in the data store on the handheld to complete the request. This generally occurs when attempting to write a record or resource to a handheld database."},
    {16405, "A generic system error on the handheld. This is returned when the exact cause is unknown."},
    {16406, "A memory allocation error occurred on the desktop computer."},
    {16407, "An invalid parameter has been passed to a function, or the parameter is too large."},
    {16408, "A data limit has been exceeded on the handheld. For example, this happens when the HotSync Manager error log size limit has been exceeded on the handheld."},
    {268452867, "Request failed because there are too many open databases (for efficiency, the current Desktop Link implementation supports only one open database at a time)."},
    {268452869, "The HotSync Manager was cancelled by the handheld user."},
    {268452881, "The HotSync Manager was cancelled by the desktop computer user."},
    {268461072, "The connection with the handheld was lost."},
    {-1000, "An otherwise nonspecific Conduit Manager error occurred."},
    {-1001, "The specified index value is out of range."},
    {-1002, "The configuration entries for the specified conduit could not be deleted."},
    {-1003, "The specified conduit does not exist."},
    {-1004, "Not enough memory to perform the requested operation."},
    {-1005, "The creator ID that you specified to use as a new creator ID in the configuration entries is already in use."},
    {-1006, "Unable to access the configuration entries."},
    {-1007, "The conduit could not be installed."},
    {-1008, "The specified conduit configuration entry value could not be set."},
    {-1009, "The specified structure handle is not valid."},
    {-1010, "The buffer is too small to hold the requested information."},
    {-1011, "The specified value could not be found in the configuration entries for the conduit."},
    {-1012, "The specified conduit creator ID is not valid."},
    {-1013, "The specified pointer is not a valid pointer."},
    {-1015, "The specified conduit type is not valid. You must use one of the Conduit Information Type Constants."},
    {-1016, "The specified communications port type is not valid. You must use one of the Conduit Communications Port Constants."},
    {-1017, "The value or feature that you specified is no longer supported."},
    {-500, "The users data file does not contain any user information."},
    {-501, "The value of the index parameter sent to the PltGetUser function is greater than the number of users."},
    {-502, "The buffer supplied as a parameter to a function is too small to contain the information that the function attempted to store."},
    {-503, "There is no users data file specified in the Palm configuration entries."},
    {-504, "The PltInstallFile function could not copy the file."},
    {-505, "The user name parameter value is either NULL or is not a valid user name."},
    {-506, "The file name parameter value in a call to the PltInstallFile function is NULL."},
    {-507, "The value of the index parameter passed to the PltGetFileName function is greater than the number of files."},
    {-509, "The path type parameter value is not a valid path type value. For information about the path type constants, see Path Type Constants."},
    {-510, "The requested path information is not stored in the Palm configuration entries. The Palm Desktop installation program should be run to correct this problem."},
    {-511, "The path parameter passed to the PltSetPath function is NULL."},
    {-512, "An attempt was made to install a file that is already installed in the user' s install directory."},
    {-513, "A file passed to the install function is not a valid file."},
    {-514, "An index parameter exceeds the maximum value allowed for the index."},
    {-515, "A file parameter is not a valid file type for use with the function."},
    {-516, "A buffer parameter is NULL."},
    {-551, "No directory was found for the specified user."},
    {-552, "No users data file found."},
    {-553, "The specified user name could not be found in the database."},
    {-554, "The specified file name is invalid."},
    {-555, "The Install Aide cannot access the user data."},
};

}  // namespace

EPalmSyncError::EPalmSyncError(int32_t code)
    : Exception(rtl::Format("Error %d :%s", static_cast<int>(code), PalmSyncErrorText(code))), errorCode_(code) {}

const char* PalmSyncErrorText(int32_t code) noexcept {
    for (const PalmErrorText& entry : kPalmErrorTexts)
        if (entry.code == code) return entry.text;
    return "";
}

void CheckPalmSyncError(int32_t code) {
    if (code != 0) throw EPalmSyncError(code);
}

int PalmSyncErrorCount() noexcept { return static_cast<int>(std::size(kPalmErrorTexts)); }

}  // namespace kiv
