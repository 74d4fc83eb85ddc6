#include "text/store_text_port.h"

#include "core/errors.h"
#include "script/param_collection.h"
#include "script/parser.h"

namespace kova {

int32_t TStoreTextPort::TextDelay() const { return store_.Globals.TextDelay; }

std::optional<std::string> TStoreTextPort::VariableText(std::string_view name) {
  const TParamCollectionItem* item = store_.FindParam(name);
  if (!item) return std::nullopt;
  return item->GetStr();
}

std::optional<std::string> TStoreTextPort::ExpressionText(TKovaParser& expression) {
  try {
    expression.Execute(store_);
  } catch (const EKovaError&) {
    return std::nullopt;
  }
  const TCustomParam* result = expression.Result();
  if (!result) return std::nullopt;
  return result->GetStr();
}

}  // namespace kova
