#pragma once
// INI files read the Windows way: section and key names compared without regard to case, the value
// is the raw text after "=" trimmed, no escapes, no list splitting, no inline comments. A missing
// file or key gives the default. The whole file is read once, at construction.
#include <QHash>
#include <QString>

class TArquivoIni {
public:
    explicit TArquivoIni(const QString& caminho);
    // The same reading over a file's bytes already in memory.
    static TArquivoIni CriaDeConteudo(const QByteArray& conteudo);
    QString LeTexto(const QString& secao, const QString& chave, const QString& padrao) const;

private:
    TArquivoIni() = default;
    void Interpreta(const QByteArray& conteudo);

    QHash<QString, QString> FValores; // "secao\nchave" in lower case -> value
};

// The path of the file named `nome` in `pasta`, whatever the letters' case of its name on disk;
// empty when there is none. An exact match wins.
QString LocalizaArquivo(const QString& pasta, const QString& nome);
