#include "framework/Document.h"

namespace fw {

const CRuntimeClass View::classView = {"CView", &Window::classWindow};
const CRuntimeClass Document::classDocument = {"CDocument", &CObject::classCObject};

}  // namespace fw
