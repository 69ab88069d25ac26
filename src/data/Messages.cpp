#include "Messages.h"

#include <cstdio>

namespace {

class StderrMessages : public Messages {
protected:
    void show(Kind, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    Answer ask(const QString& text, bool, Answer) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return No;
    }
};

StderrMessages fallback;
Messages* current = &fallback;

} // namespace

void Messages::warning(const QString& text) {
    current->show(Warning, text);
}
void Messages::error(const QString& text) {
    current->show(Error, text);
}
void Messages::info(const QString& text) {
    current->show(Information, text);
}
Messages::Answer Messages::question(const QString& text, bool withCancel, Answer defaultAnswer) {
    return current->ask(text, withCancel, defaultAnswer);
}
Messages::Answer Messages::questionWithThird(const QString& text, const QString& third,
                                             Answer defaultAnswer) {
    return current->askWithThird(text, third, defaultAnswer);
}
void Messages::install(Messages* impl) {
    current = impl ? impl : &fallback;
}
Messages* Messages::installed() {
    return current;
}
