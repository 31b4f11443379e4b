#include "change/cli/ChangeCommand.h"

int main(int argc, char** argv) {
    return vantoria::cli::RunChangeCommand(std::vector<std::string>(argv + 1, argv + argc));
}
