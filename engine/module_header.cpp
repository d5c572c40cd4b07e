#include "engine/module_header.h"

namespace srctdy {

ModuleHeaderStage::Action ModuleHeaderStage::process(int, ConversionState&, LineWriter&) {
    return Action::Pass;
}

void ModuleHeaderStage::closeBlock(const std::string*, int, ConversionState&, LineWriter&) {}

void ModuleHeaderStage::flush(int, ConversionState&, LineWriter&) {}

void ModuleHeaderStage::writeBlock(bool, int, ConversionState&, LineWriter&) {}

} // namespace srctdy
