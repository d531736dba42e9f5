#pragma once
// The "Permission Denied" dialog of the machine-wide settings store, as a Qt message box.

// Makes the machine-wide settings store ask through a message box with Abort, Retry and Ignore.
void InstallPermissionPrompt();
