#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QXmlStreamWriter>

// Writes the program's XML files in their fixed layout: the declaration as the files have always
// carried it, a line feed before the root, and before every element a line feed with one tab per
// level of depth; before an end tag, a line feed with one tab fewer than its children's depth.
// Attributes come out in the order they are written, which a DOM does not promise.
class XmlLayoutWriter {
public:
    XmlLayoutWriter() : xml_(&bytes_) {
        xml_.writeProcessingInstruction(QStringLiteral("xml"),
                                        QStringLiteral("version='1.0' encoding='utf-8'"));
        xml_.writeCharacters(QStringLiteral("\n"));
    }

    // Opens an element at a depth (the root is depth 0).
    void Start(QStringView name, int depth) {
        if (depth > 0) {
            Indent(depth);
        }
        xml_.writeStartElement(name.toString());
    }
    void Attribute(QStringView name, const QString& value) {
        Check(value);
        xml_.writeAttribute(name.toString(), value);
    }
    void Attribute(QStringView name, int value) {
        xml_.writeAttribute(name.toString(), QString::number(value));
    }
    // A whole element holding text, at a depth. The text must read back exactly as it was: a
    // reader turns a bare carriage return into a line feed and drops text that is only white
    // space, so carriage returns go out as character references and white-space-only text as
    // CDATA.
    void TextElement(QStringView name, int depth, const QString& text) {
        Check(text);
        Indent(depth);
        xml_.writeStartElement(name.toString());
        if (!text.isEmpty() && text.trimmed().isEmpty() && !text.contains(u'\r')) {
            xml_.writeCDATA(text);
        } else {
            const QStringList pieces = text.split(u'\r');
            for (qsizetype i = 0; i < pieces.size(); ++i) {
                if (i > 0) {
                    xml_.writeEntityReference(QStringLiteral("#13"));
                }
                xml_.writeCharacters(pieces[i]);
            }
        }
        xml_.writeEndElement();
    }
    // Closes the element whose children sat at childDepth.
    void End(int childDepth) {
        Indent(childDepth - 1);
        xml_.writeEndElement();
    }

    const QByteArray& Bytes() const { return bytes_; }
    // False when a text held a character an XML file cannot carry (most control characters, an
    // unpaired surrogate): such a file would not read back as written, so it must not be saved.
    bool CanSave() const { return representable_ && !xml_.hasError(); }

    static bool IsRepresentable(QStringView text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (QChar::isHighSurrogate(c)) {
                if (i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
                    ++i;
                    continue;
                }
                return false;
            }
            const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                                 (c >= 0xE000 && c <= 0xFFFD);
            if (!allowed) {
                return false;
            }
        }
        return true;
    }

private:
    void Check(QStringView text) { representable_ = representable_ && IsRepresentable(text); }

    void Indent(int tabs) { xml_.writeCharacters(u'\n' + QString(tabs, u'\t')); }

    QByteArray bytes_;
    QXmlStreamWriter xml_;
    bool representable_ = true;
};
