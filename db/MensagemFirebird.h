#pragma once
// The messages a prepared statement exchanges with the server: the output row decoded column by
// column, and the input message built from the values bound to it.
#include "Conexao.h"
#include "Firebird.h"

#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <cstring>

template <typename T>
T Le(const unsigned char* p)
{
    T valor;
    std::memcpy(&valor, p, sizeof valor);
    return valor;
}

template <typename T>
void Escreve(unsigned char* p, T valor)
{
    std::memcpy(p, &valor, sizeof valor);
}

// One output column as the prepared statement describes it.
struct TColunaSaida {
    unsigned Tipo = 0;
    unsigned SubTipo = 0;
    unsigned Comprimento = 0;
    unsigned Deslocamento = 0;
    unsigned DeslocamentoNulo = 0;
    int Escala = 0;
};

// Text from the server: UTF-8 for every column with a character set; columns without one
// (NONE, OCTETS) hand over their bytes unchanged, read as Latin-1 when they are not UTF-8.
QString DecodificaTexto(const char* dados, qsizetype tamanho);
// The column's value in the fetched row; NULL is an invalid QVariant. Blobs are read whole.
QVariant LeCampo(const TColunaSaida& coluna, const unsigned char* linha, Firebird::IAttachment* anexo,
                 Firebird::ITransaction* transacao, TStatusFirebird& st);
// A parameter of this type takes a number (a text bound to it is read as a regional number).
bool Numerico(unsigned tipo);

// What a prepared statement keeps between executions: its descriptions, its statement type, the
// input message last built with its buffer, and the output row buffer. Texts are parsed and
// descriptions read once per prepare, not on every execution.
struct TConsulta::TPreparo {
    unsigned Tipo = 0; // isc_info_sql_stmt_*
    Firebird::IMessageMetadata* EntradaNativa = nullptr;
    QVector<unsigned> TiposEntrada;
    Firebird::IMessageMetadata* Saida = nullptr;
    QVector<TColunaSaida> Colunas;
    QStringList Aliases; // upper case
    QByteArray Linha;

    // The input message as last built: each field's type and length (0, 0: the statement's own
    // type, for a NULL), its description, offsets and buffer. Rebuilt only when a field's type
    // changes or a text outgrows its room.
    QVector<std::pair<unsigned, unsigned>> Assinatura;
    Firebird::IMessageMetadata* Entrada = nullptr;
    QVector<unsigned> Deslocamentos;
    QVector<unsigned> DeslocamentosNulos;
    QByteArray Buffer;

    TPreparo() = default;
    TPreparo(const TPreparo&) = delete;
    TPreparo& operator=(const TPreparo&) = delete;
    ~TPreparo()
    {
        Solta(Entrada);
        Solta(Saida);
        Solta(EntradaNativa);
    }

    void Descreve(Firebird::IStatement* comando, TStatusFirebird& st)
    {
        Tipo = comando->getType(&st);
        EntradaNativa = comando->getInputMetadata(&st);
        const unsigned entradas = EntradaNativa->getCount(&st);
        for (unsigned i = 0; i < entradas; ++i)
            TiposEntrada << EntradaNativa->getType(&st, i);
        Saida = comando->getOutputMetadata(&st);
        const unsigned colunas = Saida->getCount(&st);
        for (unsigned i = 0; i < colunas; ++i) {
            TColunaSaida c;
            c.Tipo = Saida->getType(&st, i);
            c.SubTipo = static_cast<unsigned>(Saida->getSubType(&st, i));
            c.Comprimento = Saida->getLength(&st, i);
            c.Deslocamento = Saida->getOffset(&st, i);
            c.DeslocamentoNulo = Saida->getNullOffset(&st, i);
            c.Escala = Saida->getScale(&st, i);
            Colunas << c;
            Aliases << QString::fromUtf8(Saida->getAlias(&st, i)).toUpper();
        }
        Linha = QByteArray(static_cast<qsizetype>(Saida->getMessageLength(&st)), '\0');
    }

    // The message for these values: each bound value's field retyped to what the value is; the
    // server converts to the parameter's type (a text to a date, for example).
    void MontaEntrada(const QVector<QVariant>& valores, TStatusFirebird& st)
    {
        const auto quantos = static_cast<qsizetype>(TiposEntrada.size());
        bool muda = Entrada == nullptr || Assinatura.size() != quantos;
        Assinatura.resize(quantos);
        for (qsizetype i = 0; i < quantos; ++i) {
            const QVariant& valor = valores[i];
            std::pair<unsigned, unsigned> campo{0, 0};
            if (!valor.isNull()) {
                switch (valor.typeId()) {
                case QMetaType::LongLong:
                    campo = {SQL_INT64, sizeof(qint64)};
                    break;
                case QMetaType::Double:
                    campo = {SQL_DOUBLE, sizeof(double)};
                    break;
                case QMetaType::QDate:
                    campo = {SQL_TIMESTAMP, sizeof(ISC_TIMESTAMP)};
                    break;
                default: {
                    // room for the text's characters at four bytes each, so no length check trips;
                    // kept once given, so texts of varying length share one description
                    const qsizetype caracteres = qMax<qsizetype>(1, valor.toString().size());
                    const auto precisa = static_cast<unsigned>(4 * caracteres);
                    const unsigned tem = Assinatura[i].first == SQL_VARYING ? Assinatura[i].second : 0;
                    campo = {SQL_VARYING, precisa <= tem ? tem : qMax(precisa, qMin(32u * ((precisa + 31) / 32), 32764u))};
                    break;
                }
                }
            }
            if (campo != Assinatura[i]) {
                Assinatura[i] = campo;
                muda = true;
            }
        }
        if (muda)
            Redescreve(st);
        Preenche(valores, st);
    }

private:
    void Redescreve(TStatusFirebird& st)
    {
        Solta(Entrada);
        Firebird::IMetadataBuilder* construtor = EntradaNativa->getBuilder(&st);
        try {
            for (unsigned i = 0; i < static_cast<unsigned>(Assinatura.size()); ++i) {
                const auto [tipo, tamanho] = Assinatura[i];
                if (tipo == 0)
                    continue; // the statement's own type, flagged NULL
                construtor->setType(&st, i, tipo);
                construtor->setSubType(&st, i, 0);
                construtor->setScale(&st, i, 0);
                construtor->setLength(&st, i, tamanho);
                construtor->setCharSet(&st, i, tipo == SQL_VARYING ? CharsetUtf8 : 0);
            }
            Entrada = construtor->getMetadata(&st);
        } catch (...) {
            construtor->release();
            throw;
        }
        construtor->release();
        const unsigned quantos = Entrada->getCount(&st);
        Deslocamentos.resize(quantos);
        DeslocamentosNulos.resize(quantos);
        for (unsigned i = 0; i < quantos; ++i) {
            Deslocamentos[i] = Entrada->getOffset(&st, i);
            DeslocamentosNulos[i] = Entrada->getNullOffset(&st, i);
        }
        Buffer = QByteArray(static_cast<qsizetype>(Entrada->getMessageLength(&st)), '\0');
    }

    void Preenche(const QVector<QVariant>& valores, TStatusFirebird&)
    {
        auto* base = reinterpret_cast<unsigned char*>(Buffer.data());
        for (qsizetype i = 0; i < Assinatura.size(); ++i) {
            const QVariant& valor = valores[i];
            Escreve<short>(base + DeslocamentosNulos[i], valor.isNull() ? -1 : 0);
            if (valor.isNull())
                continue;
            unsigned char* p = base + Deslocamentos[i];
            switch (valor.typeId()) {
            case QMetaType::LongLong:
                Escreve<qint64>(p, valor.toLongLong());
                break;
            case QMetaType::Double:
                Escreve<double>(p, valor.toDouble());
                break;
            case QMetaType::QDate: {
                const QDate d = valor.toDate();
                ISC_TIMESTAMP momento;
                momento.timestamp_date = UtilFirebird()->encodeDate(static_cast<unsigned>(d.year()),
                                                                    static_cast<unsigned>(d.month()),
                                                                    static_cast<unsigned>(d.day()));
                momento.timestamp_time = 0;
                Escreve(p, momento);
                break;
            }
            default: {
                const QByteArray texto = valor.toString().toUtf8();
                Escreve<unsigned short>(p, static_cast<unsigned short>(texto.size()));
                std::memcpy(p + 2, texto.constData(), static_cast<size_t>(texto.size()));
                break;
            }
            }
        }
    }
};
