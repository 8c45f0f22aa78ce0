// SPDX-License-Identifier: MIT
#include "FormFactory.h"

#include "FloatQuestionFrm.h"
#include "IntegerQuestionFrm.h"
#include "LogonQuestionFrm.h"
#include "MoneyQuestionFrm.h"
#include "PhoneQuestionFrm.h"
#include "StringQuestionFrm.h"

#include <functional>
#include <map>

namespace {

using TFormCreator = std::function<std::unique_ptr<TQuestionForm>(QWidget *)>;

template <typename Form> TFormCreator creator() {
    return [](QWidget *parent) { return std::make_unique<Form>(parent); };
}

const std::map<QString, TFormCreator> &creators() {
    static const std::map<QString, TFormCreator> table = {
        {QLatin1String(FormType::String), creator<TStringQuestionForm>()},
        {QLatin1String(FormType::Integer), creator<TIntegerQuestionForm>()},
        {QLatin1String(FormType::Float), creator<TFloatQuestionForm>()},
        {QLatin1String(FormType::Money), creator<TMoneyQuestionForm>()},
        {QLatin1String(FormType::PhoneNumber), creator<TPhoneQuestionForm>()},
        {QLatin1String(FormType::Logon), creator<TLogonQuestionForm>()},
    };
    return table;
}

} // namespace

std::unique_ptr<TQuestionForm> CreateQuestionForm(const QString &formType, QWidget *parent) {
    const auto &table = creators();
    const auto it = table.find(formType);
    return it == table.end() ? nullptr : it->second(parent);
}
