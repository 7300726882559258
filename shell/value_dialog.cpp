#include "shell/value_dialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <algorithm>

namespace varnel {

namespace {

std::function<std::optional<std::vector<int>>(const QString&, const std::vector<ValueField>&)>& Hook() {
  static std::function<std::optional<std::vector<int>>(const QString&, const std::vector<ValueField>&)> hook;
  return hook;
}

}  // namespace

void SetValueDialogHookForTesting(
    std::function<std::optional<std::vector<int>>(const QString&, const std::vector<ValueField>&)> hook) {
  Hook() = std::move(hook);
}

std::optional<std::vector<int>> AskValues(QWidget* owner, const QString& title, const std::vector<ValueField>& fields) {
  std::optional<std::vector<int>> answer;
  if (Hook()) {
    answer = Hook()(title, fields);
  } else {
    QDialog dialog(owner);
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    std::vector<QWidget*> editors;
    for (const ValueField& field : fields) {
      if (!field.checkLabel.isEmpty()) {
        auto* box = new QCheckBox(field.checkLabel, &dialog);
        box->setChecked(field.value != 0);
        form->addRow(field.label, box);
        editors.push_back(box);
      } else {
        auto* spin = new QSpinBox(&dialog);
        spin->setRange(field.minimum, field.maximum);
        spin->setValue(field.value);
        form->addRow(field.label, spin);
        editors.push_back(spin);
      }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<int> values;
    for (QWidget* editor : editors) {
      if (auto* box = qobject_cast<QCheckBox*>(editor)) values.push_back(box->isChecked() ? 1 : 0);
      else values.push_back(static_cast<QSpinBox*>(editor)->value());
    }
    answer = std::move(values);
  }
  if (!answer || answer->size() != fields.size()) return std::nullopt;
  // Whatever answered, the values stay inside their ranges.
  for (size_t i = 0; i < fields.size(); ++i)
    (*answer)[i] = std::clamp((*answer)[i], fields[i].minimum, std::max(fields[i].minimum, fields[i].maximum));
  return answer;
}

}  // namespace varnel
