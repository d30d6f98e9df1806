#include "RegTool.h"
#include "platform/RegistryStore.h"

#include <iostream>

int main(int argc, char** argv)
{
    const auto store = tolvane::makeRegistryStore();
    return tolvane::runRegTool(*store, std::vector<std::string>(argv + 1, argv + argc), std::cout,
                               std::cerr);
}
