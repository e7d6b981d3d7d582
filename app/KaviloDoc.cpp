#include "app/KaviloDoc.h"

const fw::CRuntimeClass CKaviloDoc::classCKaviloDoc = {"CKaviloDoc", &fw::Document::classDocument};

CKaviloDoc::CKaviloDoc() = default;
CKaviloDoc::~CKaviloDoc() = default;
