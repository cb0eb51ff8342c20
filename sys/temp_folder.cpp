#include "sys/temp_folder.h"

#include "sys/files.h"
#include "sys/paths.h"

void CleanupTempFolder() {
    // Empty when the shell gives no AppData folder; RemoveFolder leaves such a path alone.
    RemoveFolder(GetTempFolder());
}
