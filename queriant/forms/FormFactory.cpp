// SPDX-License-Identifier: MIT
#include "FormFactory.h"

#include <functional>
#include <map>

namespace {

using TFormCreator = std::function<std::unique_ptr<TQuestionForm>(QWidget *)>;

template <typename Form> TFormCreator creator() {
    return [](QWidget *parent) { return std::make_unique<Form>(parent); };
}

const std::map<QString, TFormCreator> &creators() {
    static const std::map<QString, TFormCreator> table = {};
    return table;
}

} // namespace

std::unique_ptr<TQuestionForm> CreateQuestionForm(const QString &formType, QWidget *parent) {
    const auto &table = creators();
    const auto it = table.find(formType);
    return it == table.end() ? nullptr : it->second(parent);
}
