#include "parser/Parser.h"
#include "interface/Messages.h"
#include "interface/SqlRequest.h"
namespace qx {
std::int16_t Parser::Parse() {
    SetRequestError(request_, MessageText(kMsgInternalError, "parser"), nullptr);
    return -kMsgInternalError;
}
}  // namespace qx
