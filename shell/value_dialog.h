#pragma once
// The program's small number dialogs (canvas size, margins, alpha value, feather width): a
// titled form of labelled whole numbers, each within its range, with OK and Cancel.

#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QWidget;

namespace varnel {

struct ValueField {
  ValueField(QString label, int value, int minimum, int maximum, QString checkLabel = {})
      : label(std::move(label)), value(value), minimum(minimum), maximum(maximum), checkLabel(std::move(checkLabel)) {}

  QString label;
  int value;
  int minimum;
  int maximum;
  // A field of range 0…1 with a check label is shown as a check box.
  QString checkLabel;
};

// The values as the user left them, or nothing on Cancel.
std::optional<std::vector<int>> AskValues(QWidget* owner, const QString& title, const std::vector<ValueField>& fields);

// Tests answer the dialogs: the hook sees the title and the fields and gives the result.
void SetValueDialogHookForTesting(
    std::function<std::optional<std::vector<int>>(const QString&, const std::vector<ValueField>&)> hook);

}  // namespace varnel
