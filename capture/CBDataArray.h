// A snapshot: entries in the order they were added. Always held by std::shared_ptr;
// the document holds the current one, entries hold their children.
#pragma once

#include <memory>
#include <vector>

class CCBData;

class CCBDataArray : public std::vector<std::shared_ptr<CCBData>> {
public:
    CCBDataArray() = default;
    virtual ~CCBDataArray();
};
