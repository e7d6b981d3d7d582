#include "capture/CBDataArray.h"

#include "capture/CBData.h"

CCBDataArray::~CCBDataArray() = default;
