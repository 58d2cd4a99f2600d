#include "form_layout.h"

const wchar_t kMainCaption[] = L"TAVO Test V2.2";
const wchar_t kApplicationTitle[] = L"TAVO Test";
const wchar_t kTestsPageCaption[] = L"Тесты/Настройки";
const wchar_t kTransactionsPageCaption[] = L"Транзакции";
const wchar_t kStatusInitialText[] = L"Рабочий каталог TAVO:  НЕ ЗАДАН";

namespace {
using K = TControlKind;
using F = TControlFont;
constexpr TPage T1 = TPage::Tests;
constexpr TPage T2 = TPage::Transactions;
constexpr TControlId NONE = static_cast<TControlId>(0);
}  // namespace

// Within each group box the rows follow the tab order.
const TControlSpec kMainFormControls[] = {
    {ID_GRP1, "grp1", T1, NONE, K::GroupBox, L"Прозвон COM портов:", 8, 0, 193, 81, F::Normal},
    {ID_BTN4, "btn4", T1, ID_GRP1, K::Button, L"Прозвонить", 8, 48, 75, 25, F::Normal},
    {ID_CBB1, "cbb1", T1, ID_GRP1, K::DropDownList, L"", 8, 16, 97, 21, F::Normal},
    {ID_BTN3, "btn3", T1, ID_GRP1, K::Button, L"Прозвонить все", 96, 48, 89, 25, F::Normal},
    {ID_BTN5, "btn5", T1, ID_GRP1, K::Button, L"Обновить", 120, 16, 65, 25, F::Normal},
    {ID_GRP2, "grp2", T1, NONE, K::GroupBox, L"Тест доступности серверов ДЛ ФХ:", 8, 88, 193, 57, F::Normal},
    {ID_BTN10, "btn10", T1, ID_GRP2, K::Button, L"Тестировать", 8, 24, 75, 25, F::Normal},
    {ID_GRP5, "grp5", T1, NONE, K::GroupBox, L"Разное:", 8, 152, 193, 129, F::Normal},
    {ID_BTN13, "btn13", T1, ID_GRP5, K::Button, L"Выбрать рабочий каталог TAVO", 8, 24, 177, 25, F::Normal},
    {ID_BTN14, "btn14", T1, ID_GRP5, K::Button, L"Зарегистрировать Dll ", 8, 64, 177, 25, F::Normal},
    {ID_BTN15, "btn15", T1, ID_GRP5, K::Button, L"Отмена регистрации Dll ", 8, 96, 177, 25, F::Normal},
    {ID_GRP3, "grp3", T2, NONE, K::GroupBox, L"Проведение операций TAVO:", 8, 0, 193, 233, F::Normal},
    {ID_LBL1, "lbl1", T2, ID_GRP3, K::Label, L"Библиотека dlfx.dll не зарегистрирована", 8, 16, 150, 32,
     F::LabelBold13},
    {ID_BTN16, "btn16", T2, ID_GRP3, K::ImageButton, L"", 160, 16, 23, 22, F::Normal},
    {ID_BTN7, "btn7", T2, ID_GRP3, K::DefaultButton, L"Авто тест", 104, 56, 81, 25, F::Bold},
    {ID_BTN1, "btn1", T2, ID_GRP3, K::Button, L"Сверка", 8, 56, 81, 25, F::Normal},
    {ID_BTN2, "btn2", T2, ID_GRP3, K::Button, L"Оплата 0,01 р.", 8, 96, 81, 25, F::Normal},
    {ID_BTN9, "btn9", T2, ID_GRP3, K::Button, L"Оплата", 104, 96, 81, 25, F::Normal},
    {ID_BTN11, "btn11", T2, ID_GRP3, K::Button, L"Отмена", 8, 128, 81, 25, F::Normal},
    {ID_BTN12, "btn12", T2, ID_GRP3, K::Button, L"Возврат", 104, 128, 81, 25, F::Normal},
    {ID_BTN17, "btn17", T2, ID_GRP3, K::Button, L"Опросить пин-пад", 8, 200, 105, 25, F::Normal},
    {ID_BTN18, "btn18", T2, ID_GRP3, K::Button, L"Тех. обслуживание", 8, 168, 105, 25, F::Normal},
    {ID_BTN19, "btn19", T2, ID_GRP3, K::Button, L"Ридер Тест", 120, 168, 65, 25, F::Normal},
    {ID_CHK1, "chk1", T2, ID_GRP3, K::CheckBox, L"Цикл", 136, 200, 49, 17, F::Normal},
    {ID_GRP4, "grp4", T2, NONE, K::GroupBox, L"Ключи:", 8, 240, 193, 89, F::Normal},
    {ID_BTN8, "btn8", T2, ID_GRP4, K::Button, L"Удалить", 8, 16, 81, 25, F::Normal},
    {ID_RB1, "rb1", T2, ID_GRP4, K::RadioButton, L"PIN", 8, 48, 41, 17, F::Normal},
    {ID_RB2, "rb2", T2, ID_GRP4, K::RadioButton, L"MAC", 8, 64, 41, 17, F::Normal},
    {ID_BTN6, "btn6", T2, ID_GRP4, K::Button, L"Состояние", 104, 16, 83, 25, F::Normal},
    {ID_LBL2, "lbl2", T2, ID_GRP4, K::Label, L"Требует корректной настройки СОМ порта на вкладке Тесты/Настройки ", 72,
     48, 115, 33, F::Small9},
};
const size_t kMainFormControlCount = sizeof kMainFormControls / sizeof kMainFormControls[0];

const TControlSpec* FindControlSpec(int id) {
  for (size_t i = 0; i < kMainFormControlCount; ++i) {
    if (kMainFormControls[i].id == id) return &kMainFormControls[i];
  }
  return nullptr;
}
