#pragma once
// The application object pointed at a temporary program folder for the life of the object,
// with the build's version record; the previous configuration comes back afterwards.
#include "base/app.h"
#include "support/temp_dir.h"

class ScopedProgramFolder {
public:
    ScopedProgramFolder() : m_saved(App::Info()) {
        AppInfo info = App::BuildInfo();
        info.path = m_folder.path();
        App::Configure(info);
    }
    ~ScopedProgramFolder() { App::Configure(m_saved); }
    ScopedProgramFolder(const ScopedProgramFolder&) = delete;
    ScopedProgramFolder& operator=(const ScopedProgramFolder&) = delete;
    const TempDir& folder() const { return m_folder; }

private:
    AppInfo m_saved;
    TempDir m_folder;
};
