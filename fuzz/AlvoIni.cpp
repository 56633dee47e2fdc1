// Any bytes as the contents of an INI file. The names looked up are the ones the contents hold;
// the checks are the reader's promises: values trimmed and on one line, names without regard to
// case or surrounding blanks, the first occurrence wins, Windows line ends read the same.
#include "Alvos.h"
#include "Ini.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {
const QString PadraoA = QStringLiteral("\x01padrao");
const QString PadraoB = QStringLiteral("\x02padrao");

bool EhUtf8(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString texto = utf8.decode(bytes);
    return !utf8.hasError();
}

struct TNomes {
    QStringList Secoes{QString()};
    QStringList Chaves;
};

// Section and key candidates, taken loosely from the lines; a few of each is enough.
TNomes ColheNomes(const QByteArray& conteudo)
{
    TNomes nomes;
    const QString texto = EhUtf8(conteudo) ? QString::fromUtf8(conteudo) : QString::fromLatin1(conteudo);
    for (const QString& linha : texto.split('\n')) {
        const QString limpa = linha.trimmed();
        if (limpa.startsWith('[') && nomes.Secoes.size() < 8)
            nomes.Secoes << limpa.mid(1).section(']', 0, 0);
        else if (const int igual = limpa.indexOf('='); igual > 0 && nomes.Chaves.size() < 16)
            nomes.Chaves << limpa.left(igual);
    }
    return nomes;
}

bool EhAscii(const QString& texto)
{
    return std::all_of(texto.begin(), texto.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// The value, or nothing when the key is missing; the default given makes no other difference.
std::optional<QString> Le(const TArquivoIni& ini, const QString& secao, const QString& chave)
{
    const QString a = ini.LeTexto(secao, chave, PadraoA);
    const QString b = ini.LeTexto(secao, chave, PadraoB);
    if (a == PadraoA && b == PadraoB)
        return std::nullopt;
    Exige(a == b, "value depends on the default");
    return a;
}
} // namespace

void TestaIni(const std::uint8_t* dados, std::size_t tamanho)
{
    const QByteArray conteudo(reinterpret_cast<const char*>(dados), static_cast<qsizetype>(tamanho));
    const TArquivoIni ini = TArquivoIni::CriaDeConteudo(conteudo);
    const TNomes nomes = ColheNomes(conteudo);

    QByteArray windows = conteudo;
    windows.replace("\n", "\r\n");
    const TArquivoIni iniWindows = TArquivoIni::CriaDeConteudo(windows);

    // The contents cut at a line end: what the first part defines, the whole keeps. Only when both
    // decode the same way, as a cut can make the first part valid UTF-8 when the whole is not.
    const qsizetype corte = conteudo.indexOf('\n', conteudo.size() / 2);
    const QByteArray inicio = conteudo.left(std::max<qsizetype>(corte, 0));
    const bool cortar = corte >= 0 && EhUtf8(inicio) == EhUtf8(conteudo);
    const TArquivoIni iniInicio = TArquivoIni::CriaDeConteudo(inicio);

    for (const QString& secao : nomes.Secoes)
        for (const QString& chave : nomes.Chaves) {
            const std::optional<QString> valor = Le(ini, secao, chave);
            if (valor) {
                Exige(*valor == valor->trimmed() && !valor->contains('\n'), "value not trimmed to one line");
                Exige(Le(ini, ' ' + secao + '\t', "\t " + chave + ' ') == valor, "blanks around names matter");
                if (EhAscii(secao) && EhAscii(chave)) {
                    Exige(Le(ini, secao.toUpper(), chave.toLower()) == valor, "letter case of names matters");
                    Exige(Le(ini, secao.toLower(), chave.toUpper()) == valor, "letter case of names matters");
                }
            }
            Exige(Le(iniWindows, secao, chave) == valor, "Windows line ends read differently");
            if (cortar) {
                const std::optional<QString> antes = Le(iniInicio, secao, chave);
                Exige(!antes || antes == valor, "a later line overrode an earlier value");
            }
        }
}

std::vector<TEntradaFuzz> ExemplosIni()
{
    const auto bytes = [](const char* texto) {
        return TEntradaFuzz(texto, texto + std::char_traits<char>::length(texto));
    };
    return {
        bytes("; comentario\r\n[DataBaseEstoque]\r\n  caminho = 192.168.0.10:C:\\DADOS\\TANKORA.GDB  \r\n"
              "USUARIO=SYSDBA\r\nSENHA=a;b,c\r\n[Posto]\r\nUSA_FID=S\r\n"),
        bytes("[POSTO]\nUSA_FID=N\nUSA_FID=S\n[posto]\nusa_fid=X\n[\nsem=secao\n[aberta\nchave=\n=vazia\n"),
        bytes("\xEF\xBB\xBF[Seção]\nNome=Posto São João\n[Latin]\nnome=caf\xE9\n"),
    };
}
