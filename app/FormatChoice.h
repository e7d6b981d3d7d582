// What is captured when one offered format is chosen: the format itself, and for
// "FileContents" first the descriptor that names its files (the last wide one of the same
// aspect, else the last ANSI one), since the contents are named after it.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <vector>

std::vector<FORMATETC> FormatsForChoice(const std::vector<FORMATETC>& offered, size_t chosen);
