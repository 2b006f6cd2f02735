#include "ui/layout_fonts.h"

#include <QStringList>

namespace quillet {

namespace {

const QStringList& CjkFaces() {
  static const QStringList faces{QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
                                 QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans CJK JP"),
                                 QStringLiteral("WenQuanYi Zen Hei")};
  return faces;
}

}  // namespace

QString DefaultLayoutFace() { return CjkFaces().front(); }

QFont DefaultLayoutFont() {
  QFont font;
  font.setFamilies(CjkFaces());
  font.setPixelSize(12);
  return font;
}

QStringList WithCjkFallback(const QStringList& families) {
  // A face's own substitutes come first: Qt takes the next family of the
  // list before it looks at substitutes.
  QStringList all;
  for (const QString& family : families) all << family << QFont::substitutes(family);
  for (const QString& face : CjkFaces()) {
    if (!all.contains(face)) all << face;
  }
  return all;
}

void UseLayoutFaces() {
  static const bool done = [] {
    const QString sans = QStringLiteral("Noto Sans CJK SC");
    const QString serif = QStringLiteral("Noto Serif CJK SC");
    // Song faces are serif, Hei and YaHei sans; no Kai face ships with the
    // Noto set, so 楷体 takes the serif one, closest to a brush face.
    QFont::insertSubstitutions(QStringLiteral(u"楷体"), {QStringLiteral("AR PL UKai CN"), serif, sans});
    QFont::insertSubstitutions(QStringLiteral(u"新宋体"), {serif, sans});
    QFont::insertSubstitutions(QStringLiteral(u"宋体"), {serif, sans});
    QFont::insertSubstitutions(QStringLiteral(u"微软雅黑"), {sans});
    QFont::insertSubstitutions(QStringLiteral(u"黑体"), {sans});
    return true;
  }();
  (void)done;
}

}  // namespace quillet
