#pragma once
// The history document: holds no data; its view reads the file.

#include "document.h"

class CVantrelDoc : public CDocument {
public:
    // No empty history document exists: File > New and the start without a
    // file argument open no window.
    bool OnNewDocument() override { return false; }
};
