#include "ServicoEncerrantes.h"

#include "CodigoConcentrador.h"
#include "Contexto.h"
#include "Erro.h"
#include "Textos.h"


namespace {

const QString kMascara = QStringLiteral("0.000");
const QString kSemTurno = QStringLiteral("Não há turno aberto para este usuário!");

TFiltroTurno FiltroTurnoAberto()
{
    TFiltroTurno filtro;
    filtro.Status = QStringLiteral("N");
    filtro.Ordem = TServicoEncerrantes::kFiltroOrdem;
    return filtro;
}

} // namespace

const QString TServicoEncerrantes::kFiltroOrdem = QStringLiteral("CODEMPRESA,DTMOVIMENTO,HRABERTURA");

TServicoEncerrantes::TServicoEncerrantes(TContexto& contexto)
    : FContexto(contexto), FEncerrantes(contexto), FTurnos(contexto)
{
}

QString TServicoEncerrantes::Formata(double valor) const
{
    return FormataNumero(kMascara, valor, FContexto.Regional());
}

QString TServicoEncerrantes::CalculaSaida(const QString& final, const QString& inicial) const
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    return Formata(regional.LeNumero(final) - regional.LeNumero(inicial));
}

QList<TLinhaEncerrante> TServicoEncerrantes::CarregaBicos()
{
    QList<TLinhaEncerrante> linhas;
    for (const TBicoEncerrante& bico : FEncerrantes.Bombas()) {
        TLinhaEncerrante linha;
        linha.CodBico = bico.CodBico;
        linha.Descricao = bico.Descricao;
        linha.Inicial = Formata(bico.EncerranteIni);
        linha.Final = linha.Inicial;
        linha.Saida = CalculaSaida(linha.Final, linha.Inicial);
        linha.CodConcentrador = bico.CodConcentrador;
        linhas << linha;
    }
    return linhas;
}

bool TServicoEncerrantes::LeEncerrante(TLinhaEncerrante& linha)
{
    // The concentrator's own code, the one prices and blocks use: the decimal digits would name
    // another nozzle on every channel but the first.
    const QString codigo = CodigoHexadecimal(linha.CodConcentrador);
    TConcentrador* concentrador = FContexto.Concentrador();
    if (!concentrador)
        throw EErro(QStringLiteral("O concentrador não foi iniciado."));
    concentrador->LerEncerrante('L', codigo);
    const TEncerrante& leitura = concentrador->LeituraEncerrante;
    // A reading that names another nozzle, or no total, is no reading: a zero Final stored as
    // if read would show the whole totalizer as a negative sale.
    if (!(leitura.Encerrante > 0) || leitura.Bico.Texto() != codigo)
        return false;
    linha.Final = Formata(leitura.Encerrante);
    linha.Saida = CalculaSaida(linha.Final, linha.Inicial);
    linha.Lido = true;
    return true;
}

QStringList TServicoEncerrantes::LeEncerrantes(QList<TLinhaEncerrante>& linhas,
                                               const std::function<void(int, const QString&)>& lida)
{
    QStringList naoLidos;
    const qsizetype quantas = linhas.size();
    for (qsizetype i = 0; i < quantas; ++i) {
        if (!linhas[i].Marcado)
            continue;
        bool lido = false;
        try {
            // A nozzle off the concentrator has nothing to ask: it is named with the unread.
            lido = Marcavel(linhas[i]) && LeEncerrante(linhas[i]);
        } catch (const std::exception&) {
            lido = false; // named with the others below; the next nozzles are still read
        }
        if (!lido)
            naoLidos << linhas[i].CodBico;
        if (lida)
            lida(static_cast<int>(i), QStringLiteral("Aguarde, Pesquisando Encerrante do Bico: ") + linhas[i].CodBico);
    }
    return naoLidos;
}

QString TServicoEncerrantes::TextoLeitura(const QStringList& naoLidos)
{
    if (naoLidos.isEmpty())
        return QStringLiteral("Ok, encerrantes lidos com sucesso...");
    return QStringLiteral("Encerrantes não lidos dos bicos: ") + naoLidos.join(QStringLiteral(", "));
}

QString TServicoEncerrantes::MensagemNaoLidos(const QStringList& naoLidos)
{
    return QStringLiteral("Erro ao consultar o encerrante do Bico: ") + naoLidos.join(QStringLiteral(", "))
        + QStringLiteral("\rO Final desses bicos não foi alterado.");
}

bool TServicoEncerrantes::Marcavel(const TLinhaEncerrante& linha)
{
    return !linha.CodBico.trimmed().isEmpty() && !linha.CodConcentrador.trimmed().isEmpty();
}

bool TServicoEncerrantes::AbreMvTurno(const TFiltroTurno& filtro)
{
    return FTurnos.AbreMvTurno(filtro);
}

bool TServicoEncerrantes::VerificaTurnoAberto(const QString& data, const QString& hora)
{
    if (!AbreMvTurno(FiltroTurnoAberto()))
        return false;
    const TConfiguracaoRegional& regional = FContexto.Regional();
    const QDate dia = regional.LeData(data);
    const QTime momento = regional.LeHora(hora);
    // Dates compare by their day and times by their time of day, however the station's software
    // stored them (a time with or without a date in front).
    for (const TTurno& turno : FTurnos.Turnos()) {
        if (turno.DtTerminoTexto.isEmpty() || turno.HrTerminoTexto.isEmpty())
            continue;
        const QDate inicio = turno.DtMovimento.date();
        const QDate fim = turno.DtTermino.date();
        if (dia < inicio || dia > fim)
            continue;
        const QTime abertura = turno.HrAbertura.time();
        const QTime termino = turno.HrTermino.time();
        bool cobre;
        if (fim == inicio)
            cobre = abertura <= momento && momento <= termino;
        else if (dia == inicio)
            cobre = abertura <= momento && momento <= QTime(23, 59, 59);
        else if (dia != fim)
            cobre = true;
        else
            cobre = QTime(0, 0, 0) <= momento && momento <= termino;
        if (cobre) {
            FTurno = turno;
            return true;
        }
    }
    return false;
}

TResultadoGravacao TServicoEncerrantes::GravaEncerrantes(const QList<TLinhaEncerrante>& linhas,
                                                         const std::function<void(const QString&)>& gravando)
{
    TResultadoGravacao resultado;
    // Only what this capture read is recorded, and only all of it: a marked nozzle that was not
    // read stops the recording, so the stored readings never mix with rows left as they were.
    QList<TLinhaEncerrante> marcadas;
    QStringList naoLidos;
    for (const TLinhaEncerrante& linha : linhas) {
        if (!linha.Marcado)
            continue;
        marcadas << linha;
        if (!linha.Lido)
            naoLidos << linha.CodBico;
    }
    if (marcadas.isEmpty()) {
        resultado.Mensagens << QStringLiteral("Nenhum bico marcado: nada foi gravado.");
        return resultado;
    }
    if (!naoLidos.isEmpty()) {
        resultado.Mensagens << QStringLiteral("Encerrante não lido dos bicos: ") + naoLidos.join(QStringLiteral(", "))
                + QStringLiteral("\rNada foi gravado: capture de novo ou desmarque esses bicos.");
        return resultado;
    }
    const QDateTime agora = FContexto.Relogio().Agora();
    const TConfiguracaoRegional& regional = FContexto.Regional();
    if (!VerificaTurnoAberto(regional.TextoData(agora.date()), regional.TextoHoraLonga(agora.time()))) {
        resultado.Mensagens << kSemTurno << QStringLiteral("Não há turno aberto. Os encerrantes não serão gravados!");
        return resultado;
    }
    // The earliest open shift, which is the one found only when no earlier one is open.
    AbreMvTurno(FiltroTurnoAberto());
    FChaveTurno = FTurnos.Turnos().value(0).Controle;

    try {
        TGuardaTransacao transacao(FContexto.CnTankora());
        for (const TLinhaEncerrante& linha : marcadas) {
            TLinhaMvEncerrantes registro;
            registro.CodEmpresa = QStringLiteral("00");
            registro.CodTurno = FChaveTurno;
            registro.CodBico = linha.CodBico;
            registro.EncerranteIni = regional.LeNumero(linha.Inicial);
            registro.EncerranteFim = regional.LeNumero(linha.Final);
            registro.Saida = regional.LeNumero(linha.Saida);
            const QDateTime leitura = FContexto.Relogio().Agora();
            registro.DataLeitura = leitura;
            registro.HoraLeitura = regional.TextoHoraLonga(leitura.time());
            FEncerrantes.Grava(registro);
            if (gravando)
                gravando(QStringLiteral("Aguarde, gravando Encerrante do Bico: ") + linha.CodBico);
        }
        transacao.Confirma();
    } catch (const std::exception& e) {
        // The guard rolled back whatever of the recording was written; the readings stay with
        // the dialog for another try.
        resultado.Falhou = true;
        resultado.Mensagens << TextoComCausa(QStringLiteral("Erro ao gravar as informações no banco de dados. "), e);
        return resultado;
    }
    resultado.Encerra = true;
    resultado.Mensagens << QStringLiteral("Encerrantes gravados com sucesso!");
    return resultado;
}
