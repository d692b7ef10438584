#include "platform/interaction/interaction.h"

#include <stdexcept>

namespace {

class HeadlessInteraction final : public Interaction {
public:
    int MsgBox(const QString& prompt, int, const QString&) override { fail("MsgBox", prompt); }
    QString InputBox(const QString& prompt, const QString&, const QString&, bool*) override {
        fail("InputBox", prompt);
    }
    QString GetOpenFileName(const QString& title, const QString&, const QString&) override {
        fail("OpenFile", title);
    }
    QString GetSaveFileName(const QString& title, const QString&, const QString&) override {
        fail("SaveFile", title);
    }
    QString BrowseForFolder(const QString& title, const QString&) override { fail("Folder", title); }
    std::optional<quint32> ChooseColor(const QString& title) override { fail("Color", title); }
    std::optional<QFont> ChooseFont(const QFont& initial) override { fail("Font", initial.family()); }
    std::optional<int> ChoosePrintFromPage(int maxPage) override {
        fail("PrintRange", QString::number(maxPage));
    }
    int ShowForm(const QString& formName, bool) override { fail("Form", formName); }
    bool OpenUrl(const QString& url) override { fail("Url", url); }

private:
    [[noreturn]] static void fail(const char* kind, const QString& text) {
        throw std::logic_error(QStringLiteral("No Interaction is installed: %1 \"%2\"")
                                   .arg(QLatin1String(kind), text)
                                   .toStdString());
    }
};

HeadlessInteraction& headless() {
    static HeadlessInteraction instance;
    return instance;
}

std::unique_ptr<Interaction>& installed() {
    static std::unique_ptr<Interaction> current;
    return current;
}

}  // namespace

std::optional<std::pair<int, int>> Interaction::ChoosePrintPages(QPagedPaintDevice&, int maxPage) {
    const std::optional<int> from = ChoosePrintFromPage(maxPage);
    if (!from) return std::nullopt;
    return std::make_pair(*from, maxPage);
}

Interaction& UI() {
    auto& current = installed();
    if (current) return *current;
    return headless();
}

std::unique_ptr<Interaction> SetInteraction(std::unique_ptr<Interaction> next) {
    auto previous = std::move(installed());
    installed() = std::move(next);
    return previous;
}
