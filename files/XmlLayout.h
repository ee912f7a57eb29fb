#pragma once

#include <QByteArray>
#include <QString>
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
        xml_.writeAttribute(name.toString(), value);
    }
    void Attribute(QStringView name, int value) {
        xml_.writeAttribute(name.toString(), QString::number(value));
    }
    // A whole element holding text, at a depth.
    void TextElement(QStringView name, int depth, const QString& text) {
        Indent(depth);
        xml_.writeStartElement(name.toString());
        xml_.writeCharacters(text);
        xml_.writeEndElement();
    }
    // Closes the element whose children sat at childDepth.
    void End(int childDepth) {
        Indent(childDepth - 1);
        xml_.writeEndElement();
    }

    const QByteArray& Bytes() const { return bytes_; }

private:
    void Indent(int tabs) { xml_.writeCharacters(u'\n' + QString(tabs, u'\t')); }

    QByteArray bytes_;
    QXmlStreamWriter xml_;
};
