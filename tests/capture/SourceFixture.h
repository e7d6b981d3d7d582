// The fixture of the capture tests: a test data object seen through COleDataObject, as
// a paste or a drop sees the source, with the temporary store in a scratch folder and
// message boxes recorded instead of shown.
#pragma once

#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "framework/MessageBox.h"
#include "framework/OleDataObject.h"
#include "tests/TestDataObject.h"
#include "tests/TestProgress.h"
#include "tests/TestSupport.h"
#include "tests/TestTempStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace testing_support {

class SourceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_store.Ready());
        m_object = TestDataObject::Create();
        m_source.Attach(m_object);
        m_object->Release();
    }
    // Lists and captures everything offered, as Paste does.
    CCBDataArray CaptureAll(TestProgress& progress)
    {
        std::vector<FORMATETC> formats;
        ListFormats(m_source, formats);
        CCBDataArray snapshot;
        snapshot.Capture(m_source, formats, progress);
        return snapshot;
    }

    ScopedTempStore m_store;
    ScratchDir m_dir;
    TestDataObject* m_object = nullptr;  // owned by m_source
    COleDataObject m_source;
    fw::MessageBoxRecorder m_boxes;
};

// The bytes an entry keeps in its temporary file.
inline std::vector<BYTE> Stored(const CCBData& entry)
{
    std::vector<BYTE> bytes;
    entry.ReadData(bytes);
    return bytes;
}

}  // namespace testing_support
