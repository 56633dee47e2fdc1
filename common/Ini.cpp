#include "Ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {
QString Chave(const QString& secao, const QString& chave)
{
    return secao.trimmed().toLower() + '\n' + chave.trimmed().toLower();
}

// Station files are written in the Windows code page; UTF-8 is taken when the bytes are valid UTF-8.
QString DecodificaTexto(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texto = utf8.decode(bytes);
    if (!utf8.hasError())
        return texto;
    QStringDecoder latin(QStringConverter::Latin1);
    return latin.decode(bytes);
}
} // namespace

TArquivoIni::TArquivoIni(const QString& caminho)
{
    QFile arquivo(caminho);
    if (arquivo.open(QIODevice::ReadOnly))
        Interpreta(arquivo.readAll());
}

TArquivoIni TArquivoIni::CriaDeConteudo(const QByteArray& conteudo)
{
    TArquivoIni ini;
    ini.Interpreta(conteudo);
    return ini;
}

void TArquivoIni::Interpreta(const QByteArray& conteudo)
{
    const QString texto = DecodificaTexto(conteudo);
    QString secao;
    for (QString linha : texto.split('\n')) {
        linha = linha.trimmed();
        if (linha.isEmpty() || linha.startsWith(';'))
            continue;
        if (linha.startsWith('[')) {
            const int fim = linha.indexOf(']');
            secao = fim > 0 ? linha.mid(1, fim - 1) : linha.mid(1);
            continue;
        }
        const int igual = linha.indexOf('=');
        if (igual <= 0)
            continue;
        const QString chave = Chave(secao, linha.left(igual));
        if (!FValores.contains(chave)) // the first occurrence wins, as on Windows
            FValores.insert(chave, linha.mid(igual + 1).trimmed());
    }
}

QString TArquivoIni::LeTexto(const QString& secao, const QString& chave, const QString& padrao) const
{
    return FValores.value(Chave(secao, chave), padrao);
}

QString LocalizaArquivo(const QString& pasta, const QString& nome)
{
    QDir dir(pasta);
    if (QFileInfo(dir.filePath(nome)).isFile())
        return dir.filePath(nome);
    const QStringList nomes = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& candidato : nomes)
        if (candidato.compare(nome, Qt::CaseInsensitive) == 0)
            return dir.filePath(candidato);
    return {};
}
