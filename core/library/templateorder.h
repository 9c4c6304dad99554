#pragma once

#include "records.h"

#include <QList>

// Code-point order of the composed (NFC) forms, so canonically equivalent names tie.
int compareNamesByCodePoint(const QString &a, const QString &b);

// Favourites first, then by name; ties keep their list order.
QList<Template> sortedTemplates(QList<Template> templates);

// The entries of one kind in that order.
QList<Template> templatesOfType(const QList<Template> &templates, TemplateType type);
