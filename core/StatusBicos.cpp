#include "StatusBicos.h"

#include "Erro.h"

namespace {
constexpr int kTamanhoPorBico = 100;
constexpr int kCanais = 4;
}

TStatusBicos::TStatusBicos(QString porPosicao, QString porBico)
    : FPorPosicao(std::move(porPosicao)), FPorBico(std::move(porBico))
{
}

bool TStatusBicos::LetraValida(QChar letra)
{
    return QStringLiteral("LPFCABE").contains(letra);
}

TStatusBicos TStatusBicos::Le(TConcentrador& concentrador)
{
    QString porPosicao = concentrador.GetLeStatus();
    QString porBico;
    if (porPosicao.contains(QLatin1Char('B'))) {
        try {
            porBico = concentrador.FGetStStatusBico();
        } catch (const EErroSemResposta&) {
            throw;
        } catch (const std::exception&) {
            // a library without the nozzle status: the positions' letters stand
        }
    }
    return TStatusBicos(std::move(porPosicao), std::move(porBico));
}

bool TStatusBicos::PosicaoConfere(int posicao) const
{
    if (FPorBico.size() != kTamanhoPorBico || posicao < 1 || posicao > kPosicoesPorBico)
        return false;
    const QString letras = FPorBico.mid((posicao - 1) * kCanais, kCanais);
    bool algumaLetra = false;
    bool algumBloqueado = false;
    for (QChar letra : letras) {
        algumaLetra = algumaLetra || LetraValida(letra);
        algumBloqueado = algumBloqueado || letra == QLatin1Char('B');
    }
    const bool posicaoBloqueada = posicao <= FPorPosicao.size() && FPorPosicao.at(posicao - 1) == QLatin1Char('B');
    return algumaLetra && algumBloqueado == posicaoBloqueada;
}

QChar TStatusBicos::Letra(qint64 codigo) const
{
    // Code 4 + 64 * (channel - 1) + (position - 1); codes below 4 or past channel 4 have no channel.
    const int posicao = static_cast<int>(((codigo - 4) % 64 + 64) % 64) + 1;
    const qint64 canal = codigo >= 4 ? (codigo - 4) / 64 + 1 : 0;
    const QChar daPosicao = posicao <= FPorPosicao.size() ? FPorPosicao.at(posicao - 1) : QChar(' ');
    if (canal < 1 || canal > kCanais || !PosicaoConfere(posicao))
        return daPosicao;
    // A blank here is the concentrator saying the position has no nozzle on this channel.
    return FPorBico.at((posicao - 1) * kCanais + static_cast<int>(canal) - 1);
}
