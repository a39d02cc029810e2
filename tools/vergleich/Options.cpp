#include "Options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

namespace kritzel::vergleich {

namespace {

// A bound as the teacher writes it: with a decimal comma in German.
QString Figure(double value, const QString& language) {
    QLocale locale(language == QLatin1String("en") ? QLocale::English : QLocale::German);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 6);
}

double Number(const QCommandLineParser& parser, const QString& name, double low, double high,
              const QString& language) {
    bool ok = false;
    const QString text = parser.value(name);
    // A German decimal comma is as good as a point.
    const double value = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || value < low || value > high)
        throw UsageError{
            Say(language, "--%1 %2: eine Zahl von %3 bis %4", "--%1 %2: a number from %3 to %4")
                .arg(name, text, Figure(low, language), Figure(high, language))};
    return value;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(
        "Vergleicht die Zeichnungen der Programme einer Klasse mit der Lösung und schreibt "
        "einen Bericht.\n  kritzelwerk-vergleich loesung.cpp abgaben/ -o bericht/"));
    parser.addPositionalArgument(QStringLiteral("loesung"),
                                 QString::fromUtf8("Die Lösung: .cpp, .py, ein Ordner mit "
                                                   "CMakeLists.txt oder eine Zeichnung .emf"));
    parser.addPositionalArgument(
        QStringLiteral("abgaben"),
        QString::fromUtf8("Ordner mit einer Abgabe je Schüler, oder einzelne Abgaben"),
        QStringLiteral("abgaben..."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QString::fromUtf8("Zeigt diese Hilfe."));
    parser.addOption(help);
    parser.addOptions({
        {{QStringLiteral("o"), QStringLiteral("ausgabe")},
         QString::fromUtf8("Ordner des Berichts (Vorgabe: bericht)."),
         QStringLiteral("ordner")},
        {QStringLiteral("eingabe"),
         QString::fromUtf8("Antwort auf die nächste Frage des Programms (mehrfach möglich)."),
         QStringLiteral("wert")},
        {QStringLiteral("zeit"),
         QString::fromUtf8("Zeitlimit eines Programmlaufs in Sekunden (Vorgabe: 10)."),
         QStringLiteral("sekunden")},
        {QStringLiteral("toleranz"), QString::fromUtf8("Toleranz in LE (Vorgabe: 0,05)."),
         QStringLiteral("LE")},
        {QStringLiteral("sprache"), QString::fromUtf8("de oder en (Vorgabe: de)."),
         QStringLiteral("sprache")},
        {QStringLiteral("bestanden"),
         QString::fromUtf8("Punkte, ab denen eine Abgabe besteht (Vorgabe: 90)."),
         QStringLiteral("punkte")},
        {QStringLiteral("ohne-sandbox"),
         QString::fromUtf8("Programme ohne Sandbox ausführen, wo keine möglich ist.")},
        {QStringLiteral("nur-ergebnisse"),
         QString::fromUtf8("Nur die Ergebnisse <name>.json schreiben, keinen Bericht.")},
        {QStringLiteral("bericht"),
         QString::fromUtf8("Nur den Bericht aus den Ergebnissen im Ordner machen."),
         QStringLiteral("ordner")},
        {{QStringLiteral("j"), QStringLiteral("jobs")},
         QString::fromUtf8("Abgaben, die zugleich gebaut werden (Vorgabe: eine je Kern)."),
         QStringLiteral("anzahl")},
    });
    if (!parser.parse(arguments)) throw UsageError{parser.errorText()};
    if (parser.isSet(help)) {
        // Qt's help says its headings in English; the rest of it is German.
        QString text = parser.helpText();
        text.replace(QStringLiteral("Usage:"), QStringLiteral("Aufruf:"))
            .replace(QStringLiteral("Options:"), QStringLiteral("Optionen:"))
            .replace(QStringLiteral("Arguments:"), QStringLiteral("Argumente:"))
            .replace(QStringLiteral("[options]"), QStringLiteral("[Optionen]"));
        CommandLine options;
        options.help = text;
        return options;
    }

    CommandLine options;
    if (parser.isSet(QStringLiteral("sprache"))) {
        options.language = parser.value(QStringLiteral("sprache"));
        if (options.language != QLatin1String("de") && options.language != QLatin1String("en"))
            throw UsageError{QString::fromUtf8("--sprache %1: de oder en").arg(options.language)};
    }
    const QString& language = options.language;
    if (parser.isSet(QStringLiteral("ausgabe")))
        options.report = parser.value(QStringLiteral("ausgabe"));
    options.answers = parser.values(QStringLiteral("eingabe"));
    for (const QString& answer : options.answers)
        if (answer.contains(QLatin1Char('\n')))
            throw UsageError{Say(language, "--eingabe: eine Antwort je Option, ohne Zeilenumbruch",
                                 "--eingabe: one answer per option, without a line break")};
    if (parser.isSet(QStringLiteral("zeit")))
        options.seconds = Number(parser, QStringLiteral("zeit"), 0.1, 3600, language);
    if (parser.isSet(QStringLiteral("toleranz")))
        options.tolerance = Number(parser, QStringLiteral("toleranz"), 0, 100, language);
    if (parser.isSet(QStringLiteral("bestanden")))
        options.threshold =
            static_cast<int>(Number(parser, QStringLiteral("bestanden"), 0, 100, language));
    if (parser.isSet(QStringLiteral("jobs")))
        options.jobs = static_cast<int>(Number(parser, QStringLiteral("jobs"), 1, 256, language));
    options.noSandbox = parser.isSet(QStringLiteral("ohne-sandbox"));
    options.resultsOnly = parser.isSet(QStringLiteral("nur-ergebnisse"));
    options.reportOnly = parser.value(QStringLiteral("bericht"));

    const QStringList positional = parser.positionalArguments();
    if (!options.reportOnly.isEmpty()) {
        if (!positional.isEmpty())
            throw UsageError{Say(language, "--bericht nimmt keine Lösung und keine Abgaben",
                                 "--bericht takes no solution and no submissions")};
        return options;
    }
    if (positional.size() == 1)
        throw UsageError{Say(language,
                             "die Abgaben fehlen: kritzelwerk-vergleich loesung.cpp abgaben/ -o "
                             "bericht/",
                             "the submissions are missing: kritzelwerk-vergleich loesung.cpp "
                             "abgaben/ -o bericht/")};
    if (positional.size() < 2)
        throw UsageError{Say(language,
                             "Lösung und Abgaben fehlen: kritzelwerk-vergleich loesung.cpp "
                             "abgaben/ -o bericht/",
                             "the solution and the submissions are missing: "
                             "kritzelwerk-vergleich loesung.cpp abgaben/ -o bericht/")};
    options.solution = positional.front();
    options.submissions = positional.mid(1);
    return options;
}

} // namespace kritzel::vergleich
