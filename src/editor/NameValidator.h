#pragma once
// What the synth can store in a name: printable ASCII. Anything else is
// dropped as it is typed or pasted, and `refused` tells the user why. Used
// wherever a performance is named: the main window's name box and a rename
// in the library.

#include "model/FieldTable.h"

#include <QString>
#include <QValidator>

#include <functional>

namespace kw {

class NameValidator : public QValidator {
public:
    NameValidator(QObject* parent, std::function<void()> refused) : QValidator(parent), refused_(std::move(refused)) {}

    State validate(QString& input, int& pos) const override
    {
        QString kept;
        int cursor = pos;
        for (int i = 0; i < input.size(); ++i) {
            if (perfName::storable(input[i].unicode()))
                kept += input[i];
            else if (i < pos)
                --cursor;
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = cursor;
            if (refused_)
                refused_();
        }
        return Acceptable;
    }

private:
    std::function<void()> refused_;
};

} // namespace kw
