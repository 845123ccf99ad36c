#pragma once
// Which dictionary pair the desktop program reads, and switching to the per-user pair after the
// build command, with the dictionaries that were open reopened from there.

#include <QString>

#include <string>
#include <vector>

#include "engine/dictionary/dictionary_build.h"

class QDialog;
class QWidget;
class TMainForm;

namespace kompa::ui {

// After the build command wrote the dictionaries of sources into builtDir. When the per-user data
// directory is not where the program reads from and the user agrees (asked through
// frame.AskUseBuilt), they are built there too and read from then on. Dictionaries built
// straight into the per-user directory are taken up without a question.
void OfferBuiltDictionaries(TMainForm& frame, const std::vector<TBuildSource>& sources,
                            const std::string& builtDir);

// The question asked by default: the dictionaries go into userDir and are read from there.
bool AskUseBuiltByDefault(QWidget* parent, const QString& userDir);

// Adds lines under the about dialog's button naming the dictionary directory in use and the
// number of offices its office dictionary holds ("事業所辞書: N件", or "なし") and the
// dictionaries' date.
void AddDictionaryLines(QDialog& about, const std::string& dictDir);
// The date of the dictionaries in dictDir (the newer file's, "yyyy/MM/dd"), empty without any.
QString DictionaryDate(const std::string& dictDir);

} // namespace kompa::ui
