#include "aecore/templates/TMContext.h"

int TMContext::ScanLongRecord(const std::string&, const std::string&, TMPars&) { return 0; }
