#include "change/cli/ChangeCommand.h"
#include "platform/i18n/Messages.h"

int main(int argc, char** argv) {
    vantoria::i18n::LoadMessages();
    return vantoria::cli::RunChangeCommand(std::vector<std::string>(argv + 1, argv + argc));
}
