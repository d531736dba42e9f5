#pragma once
// Registers the pictures compiled into the GUI library. A static library's resources are not
// registered on their own; every window calls this before it loads a picture.
void InitGuiResources();
