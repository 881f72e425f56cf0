#pragma once
// The example settings a window starts with, and the names kept for
// examples: a Service URL under one of them can never reach a provider, so
// settings that still hold it are a form not yet filled in, not a check.

#include "check/checksettings.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace parlowen {

// What the fields hold before anything is saved: examples under example.net,
// and a router address that is only a guess.
CheckSettings exampleSettings();

// example.com, example.net and example.org and the names under them, and
// names ending in .test, .invalid or .example, in any letter case and with or
// without the final dot. Not localhost, nor an address: tests and the demo
// run on 127.0.0.1.
bool isExampleName(QStringView host);

// The Service URL's host is such a name.
bool isExampleServiceUrl(const QString& serviceUrl);

// What to give as a Service URL, in the words both programs use.
QString serviceUrlToGive();

// A field of the settings that still needs its owner's value, and what that is.
struct FieldToFill {
    QString CheckSettings::*field;
    QString words; // "Hostname: the name to keep up to date"
};

// For settings whose Service URL is under an example name: the fields that
// still hold an example or are empty, in the window's order. The router
// address only when everything else is the example too: 10.0.0.2 may well
// be a real router's address.
std::vector<FieldToFill> fieldsToFill(const CheckSettings& settings);

// The box that stands in for a check of such settings: what happened, and
// the fields to fill in, one a line.
QString examplesMessage(const CheckSettings& settings);
QString examplesDetail(const std::vector<FieldToFill>& fields);

} // namespace parlowen
