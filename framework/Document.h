// Document and views: the document holds the data and tells every view of a change with
// UpdateAllViews(sender, hint, object); the sender, if any, is not told. Views are
// windows that register with the document and get OnInitialUpdate once, after the
// frame has created them, and OnUpdate for every change.
#pragma once

#include "framework/Window.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace fw {

class Document;

class View : public Window {
public:
    static const CRuntimeClass classView;
    const CRuntimeClass* GetRuntimeClass() const override { return &classView; }

    Document* GetDocument() const { return m_document; }
    void SetDocument(Document* document) { m_document = document; }

    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
    virtual void OnUpdate(View* sender, LPARAM hint, void* object) = 0;

private:
    Document* m_document = nullptr;
};

class Document : public CObject {
public:
    static const CRuntimeClass classDocument;
    const CRuntimeClass* GetRuntimeClass() const override { return &classDocument; }

    void AddView(View* view)
    {
        m_views.push_back(view);
        view->SetDocument(this);
    }
    void RemoveView(View* view) { m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end()); }
    const std::vector<View*>& GetViews() const { return m_views; }

    void UpdateAllViews(View* sender, LPARAM hint = 0, void* object = nullptr)
    {
        // A copy: a view may add or remove views while it is told.
        const std::vector<View*> views = m_views;
        for (View* view : views)
            if (view != sender) view->OnUpdate(sender, hint, object);
    }

    const std::wstring& GetTitle() const { return m_title; }
    // Sets the title and tells the frame, which shows it in its caption.
    virtual void SetTitle(const std::wstring& title)
    {
        m_title = title;
        if (m_titleListener) m_titleListener();
    }
    void SetTitleListener(std::function<void()> listener) { m_titleListener = std::move(listener); }

private:
    std::function<void()> m_titleListener;
    std::vector<View*> m_views;
    std::wstring m_title;
};

}  // namespace fw
