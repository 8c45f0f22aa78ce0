// SPDX-License-Identifier: MIT
#include "FormFactory.h"

#include "BalloonQuestionFrm.h"
#include "ButtonQuestionFrm.h"
#include "ComboQuestionFrm.h"
#include "CostCenterQuestionFrm.h"
#include "FloatQuestionFrm.h"
#include "GuestCardQuestionFrm.h"
#include "IntegerQuestionFrm.h"
#include "ListQuestionFrm.h"
#include "LogonQuestionFrm.h"
#include "MoneyQuestionFrm.h"
#include "PhoneQuestionFrm.h"
#include "RadioQuestionFrm.h"
#include "SQLListQuestionFrm.h"
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
        {QLatin1String(FormType::Button), creator<TButtonQuestionForm>()},
        {QLatin1String(FormType::Combo), creator<TComboQuestionForm>()},
        {QLatin1String(FormType::Radio), creator<TRadioQuestionForm>()},
        {QLatin1String(FormType::List), creator<TListQuestionForm>()},
        {QLatin1String(FormType::SqlList), creator<TSQLListQuestionForm>()},
        {QLatin1String(FormType::Balloon), creator<TBalloonQuestionForm>()},
        {QLatin1String(FormType::GuestCard), creator<TGuestCardQuestionForm>()},
        {QLatin1String(FormType::CostCenter), creator<TCostCenterQuestionForm>()},
    };
    return table;
}

} // namespace

std::unique_ptr<TQuestionForm> CreateQuestionForm(const QString &formType, QWidget *parent) {
    const auto &table = creators();
    const auto it = table.find(formType);
    return it == table.end() ? nullptr : it->second(parent);
}
