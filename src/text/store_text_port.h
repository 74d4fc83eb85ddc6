// The script port of rich text over the variable store: what the session hands a document.
#pragma once

#include "text/text_ports.h"

namespace kova {

class TParamCollection;

class TStoreTextPort : public TTextScriptPort {
 public:
  explicit TStoreTextPort(TParamCollection& store) : store_(store) {}
  TParamCollection& Store() const { return store_; }
  int32_t TextDelay() const override;
  std::optional<std::string> VariableText(std::string_view name) override;
  std::optional<std::string> ExpressionText(TKovaParser& expression) override;

 private:
  TParamCollection& store_;
};

}  // namespace kova
