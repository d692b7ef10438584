#include "platform/chinese_convert.h"

#include <opencc/opencc.h>
#include <QtGlobal>
#include <exception>
#include <memory>
#include <opencc/Exception.hpp>

namespace {

// Loading a configuration reads its dictionaries, so each converter is made once and kept.
std::unique_ptr<opencc::SimpleConverter> load(const char* config) {
    try {
        return std::make_unique<opencc::SimpleConverter>(config);
    } catch (const opencc::Exception& e) {  // not a std::exception
        qWarning("Chinese conversion %s is unavailable, text is left unchanged: %s", config, e.what());
    } catch (const std::exception& e) {
        qWarning("Chinese conversion %s is unavailable, text is left unchanged: %s", config, e.what());
    } catch (...) {
        qWarning("Chinese conversion %s is unavailable, text is left unchanged", config);
    }
    return nullptr;
}

QString convert(const opencc::SimpleConverter* converter, const QString& text) {
    if (!converter || text.isEmpty()) return text;
    try {
        const QByteArray utf8 = text.toUtf8();
        return QString::fromStdString(converter->Convert(utf8.constData(), static_cast<size_t>(utf8.size())));
    } catch (const opencc::Exception& e) {
        qWarning("Chinese conversion failed, text is left unchanged: %s", e.what());
        return text;
    } catch (const std::exception& e) {
        qWarning("Chinese conversion failed, text is left unchanged: %s", e.what());
        return text;
    }
}

}  // namespace

// Character for character, in the forms Traditional text is written in every day (為, 啟, 裡, 著): the
// words stay the program's own, so a message names a button as the button reads, and a text converted
// back comes back as written.
QString ToTraditional(const QString& text) {
    static const auto converter = load("s2tw.json");
    return convert(converter.get(), text);
}

QString ToSimplified(const QString& text) {
    static const auto converter = load("tw2s.json");
    return convert(converter.get(), text);
}
