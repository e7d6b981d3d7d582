// Sets the process's temporary store up in a scratch folder for the life of the object.
#pragma once

#include "capture/TempStore.h"
#include "tests/TestSupport.h"

namespace testing_support {

class ScopedTempStore {
public:
    ScopedTempStore() { m_ready = TheTempStore().InitTempFolder(m_base.Path()); }
    ~ScopedTempStore() { TheTempStore().CleanUpTempFolder(); }
    bool Ready() const { return m_ready; }
    const std::wstring& Folder() const { return TheTempStore().m_tempFolder; }

private:
    ScratchDir m_base;
    bool m_ready = false;
};

}  // namespace testing_support
