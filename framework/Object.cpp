#include "framework/Object.h"

namespace fw {

const CRuntimeClass CObject::classCObject = {"CObject", nullptr};

}  // namespace fw
