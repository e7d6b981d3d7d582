// Opening up containers into child snapshots: structured storages, shell folders,
// directories, dropped files and Shell IDList Arrays. Every walker runs in two phases
// over the child snapshot it fills: phase 1 imports the byte elements at once and leaves
// a placeholder for each sub-container; phase 2 enters the placeholders while the user
// has not stopped and the bytes gathered under the format are within the size limit.
#pragma once

#include "capture/CBData.h"
#include "capture/CBDataArray.h"
#include "capture/CBDataCreateContext.h"
#include "capture/bytes/Cida.h"

#include <memory>
#include <string>
#include <vector>

// Nested containers are entered this many levels deep at most, so that a source whose
// folders or storages contain themselves cannot exhaust the stack.
inline constexpr int kMaxWalkDepth = 64;

// A container entry ("IStorage", "IShellFolder", "ディレクトリ"; folder icon) whose child
// snapshot holds the walked elements.
std::shared_ptr<CCBData> ImportStorage(CCBDataCreateContext* context, IStorage* storage);
std::shared_ptr<CCBData> ImportShellFolder(CCBDataCreateContext* context, IShellFolder* folder);
std::shared_ptr<CCBData> ImportDirectory(CCBDataCreateContext* context, const std::wstring& path);

void WalkStorage(CCBDataArray& children, CCBDataCreateContext* context, IStorage* storage);
void WalkShellFolder(CCBDataArray& children, CCBDataCreateContext* context, IShellFolder* folder);
void WalkDirectory(CCBDataArray& children, CCBDataCreateContext* context, const std::wstring& path);
// The files named by a DROPFILES block (its stored bytes).
void WalkDropFiles(CCBDataArray& children, CCBDataCreateContext* context, const std::vector<BYTE>& dropFiles);
// The items of a Shell IDList Array that lie inside its bytes, relative to `parent`.
void WalkShellIDList(CCBDataArray& children, CCBDataCreateContext* context, IShellFolder* parent,
                     const std::vector<BYTE>& cida, const std::vector<CidaLayout::Item>& items);
