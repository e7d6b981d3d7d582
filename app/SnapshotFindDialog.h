// "スナップショット内を検索" (Ctrl+Shift+F): finds a text or hex bytes in every entry of the
// snapshot shown, nested ones too, and lists the hits (entry, offset, the bytes around the
// match). Choosing a hit closes the window; the main frame then selects the entry, opens
// its HEX page and selects the match. The hits of the last search are listed again while
// the same snapshot is shown.
#pragma once

#include "framework/Dialog.h"
#include "viewers/SnapshotFind.h"

#include <memory>
#include <optional>
#include <vector>

class CSnapshotFindDialog : public fw::Dialog {
public:
    explicit CSnapshotFindDialog(std::shared_ptr<CCBDataArray> snapshot);

    // The hit chosen (after IDOK).
    const std::optional<SnapshotFindHit>& GetChosen() const { return m_chosen; }
    const std::vector<SnapshotFindHit>& GetHits() const { return Last().hits; }
    // Runs the query now in the dialog (the 検索 button).
    void Search();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnOK() override;

private:
    struct LastSearch {
        std::weak_ptr<CCBDataArray> snapshot;
        std::vector<SnapshotFindHit> hits;
    };
    static LastSearch& Last();
    void ListHits();
    void Choose();
    std::wstring BytesAround(const SnapshotFindHit& hit) const;

    std::shared_ptr<CCBDataArray> m_snapshot;
    std::optional<SnapshotFindHit> m_chosen;
};
