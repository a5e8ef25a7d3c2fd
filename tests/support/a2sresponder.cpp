#include "tests/support/a2sresponder.h"

#include "tests/support/goldsrcserver.h"

#include <QRandomGenerator>
#include <QtEndian>

#include <cstring>

#include <algorithm>

namespace {

const QByteArray Mark = QByteArrayLiteral("\xFF\xFF\xFF\xFF");
const QByteArray InfoQuestion = Mark + "TSource Engine Query" + QByteArray(1, '\0');

template <typename T> void appendLittle(QByteArray &bytes, T value) {
    char raw[sizeof(T)];
    qToLittleEndian<T>(value, raw);
    bytes.append(raw, sizeof(T));
}

void appendString(QByteArray &bytes, const QByteArray &text) {
    bytes.append(text);
    bytes.append('\0');
}

int botCount(const A2sResponder::State &state) {
    return int(std::count_if(state.players.cbegin(), state.players.cend(),
                             [](const A2sResponder::State::Player &p) { return p.bot; }));
}

// The challenge a question carries: the four bytes after its fixed part, if there are four.
std::optional<quint32> carriedChallenge(const QByteArray &datagram, qsizetype fixedPart) {
    if (datagram.size() != fixedPart + 4)
        return std::nullopt;
    return qFromLittleEndian<quint32>(datagram.constData() + fixedPart);
}

} // namespace

bool A2sResponder::isQuery(const QByteArray &datagram) {
    if (datagram.size() < 5 || !datagram.startsWith(Mark))
        return false;
    const char type = datagram.at(4);
    return type == 'T' || type == 'U' || type == 'V';
}

QList<QByteArray> A2sResponder::answer(const QByteArray &datagram, const QHostAddress &from,
                                       const State &state) {
    if (!isQuery(datagram))
        return {};
    ++m_questions;
    if (m_silent)
        return {};

    const QString address = from.toString();
    auto it = m_challenges.find(address);
    if (it == m_challenges.end()) {
        // Neither the "no challenge yet" value nor zero.
        it = m_challenges.insert(address, QRandomGenerator::global()->bounded(1u, 0xFFFFFFFFu));
    }
    const quint32 challenge = it.value();
    const auto challengeAnswer = [&] {
        ++m_challengesSent;
        QByteArray bytes = Mark + 'A';
        appendLittle<quint32>(bytes, challenge);
        return QList<QByteArray>{bytes};
    };

    const char type = datagram.at(4);
    if (type == 'T') {
        if (!datagram.startsWith(InfoQuestion))
            return {};
        const std::optional<quint32> carried = carriedChallenge(datagram, InfoQuestion.size());
        if (m_challengeRequired && carried != challenge)
            return challengeAnswer();
        switch (m_infoFormat) {
        case InfoFormat::Current:
            return datagrams(infoAnswer(state));
        case InfoFormat::Old:
            return datagrams(oldInfoAnswer(state));
        case InfoFormat::OldThenCurrent:
            return datagrams(oldInfoAnswer(state)) + datagrams(infoAnswer(state));
        }
        return {};
    }
    if (carriedChallenge(datagram, 5) != challenge)
        return challengeAnswer();
    if (type == 'U')
        return datagrams(playersAnswer(state));
    return datagrams(rulesAnswer(m_rules ? *m_rules : defaultRules(state)));
}

QByteArray A2sResponder::infoAnswer(const State &state) {
    QByteArray bytes = Mark + 'I';
    bytes.append(char(Protocol));
    appendString(bytes, state.hostname);
    appendString(bytes, state.map);
    appendString(bytes, "cstrike");
    appendString(bytes, "Counter-Strike");
    appendLittle<quint16>(bytes, AppId);
    bytes.append(char(qMin<qsizetype>(255, state.players.size())));
    bytes.append(char(state.maxPlayers));
    bytes.append(char(botCount(state)));
    bytes.append('d');
    bytes.append('l');
    bytes.append(char(state.joinPassword.isEmpty() ? 0 : 1));
    bytes.append(char(state.vac ? 1 : 0));
    appendString(bytes, "1.1.2.7/Stdio");
    // Extra data: the game port, the server's Steam id and the game id.
    bytes.append(char(0x80 | 0x10 | 0x01));
    appendLittle<quint16>(bytes, state.port);
    appendLittle<quint64>(bytes, 90123456789012345ull);
    appendLittle<quint64>(bytes, AppId);
    return bytes;
}

QByteArray A2sResponder::oldInfoAnswer(const State &state) {
    QByteArray bytes = Mark + 'm';
    appendString(bytes, "127.0.0.1:" + QByteArray::number(state.port));
    appendString(bytes, state.hostname);
    appendString(bytes, state.map);
    appendString(bytes, "cstrike");
    appendString(bytes, "Counter-Strike");
    bytes.append(char(qMin<qsizetype>(255, state.players.size())));
    bytes.append(char(state.maxPlayers));
    bytes.append(char(Protocol));
    bytes.append('d');
    bytes.append('l');
    bytes.append(char(state.joinPassword.isEmpty() ? 0 : 1));
    bytes.append(char(1)); // a mod
    appendString(bytes, "http://www.counter-strike.net");
    appendString(bytes, "");
    bytes.append('\0');
    appendLittle<quint32>(bytes, 1);
    appendLittle<quint32>(bytes, 184000000);
    bytes.append(char(1)); // multiplayer only
    bytes.append(char(1)); // its own game library
    bytes.append(char(state.vac ? 1 : 0));
    bytes.append(char(botCount(state)));
    return bytes;
}

QByteArray A2sResponder::playersAnswer(const State &state) {
    QByteArray bytes = Mark + 'D';
    const qsizetype count = qMin<qsizetype>(255, state.players.size());
    bytes.append(char(count));
    for (qsizetype i = 0; i < count; ++i) {
        const State::Player &player = state.players.at(i);
        bytes.append(char(i));
        appendString(bytes, player.name);
        appendLittle<qint32>(bytes, player.frags);
        const float seconds = float(player.seconds);
        quint32 bits = 0;
        std::memcpy(&bits, &seconds, sizeof bits);
        appendLittle<quint32>(bytes, bits);
    }
    return bytes;
}

QByteArray A2sResponder::rulesAnswer(const QList<Rule> &rules) {
    QByteArray bytes = Mark + 'E';
    appendLittle<quint16>(bytes, quint16(rules.size()));
    for (const Rule &rule : rules) {
        appendString(bytes, rule.first);
        appendString(bytes, rule.second);
    }
    return bytes;
}

QList<A2sResponder::Rule> A2sResponder::defaultRules(const State &state) {
    // The settings a Counter-Strike server makes public, as it names them.
    QList<Rule> rules = {
        {"allow_spectators", "1"},
        {"coop", "0"},
        {"deathmatch", "1"},
        {"decalfrequency", "30"},
        {"edgefriction", "2"},
        {"hostage_debug", "0"},
        {"hostage_stop", "0"},
        {"humans_join_team", "any"},
        {"max_queries_sec", "3.0"},
        {"max_queries_sec_global", "30"},
        {"max_queries_window", "60"},
        {"metamod_version", "1.21p38"},
        {"mp_allowmonsters", "0"},
        {"mp_autokick", "1"},
        {"mp_autoteambalance", "1"},
        {"mp_buytime", "1.5"},
        {"mp_c4timer", "35"},
        {"mp_chattime", "10"},
        {"mp_consistency", "1"},
        {"mp_fadetoblack", "0"},
        {"mp_flashlight", "1"},
        {"mp_footsteps", "1"},
        {"mp_forcecamera", "0"},
        {"mp_forcechasecam", "0"},
        {"mp_fragsleft", "0"},
        {"mp_freezetime", "6"},
        {"mp_friendlyfire", "0"},
        {"mp_ghostfrequency", "0.1"},
        {"mp_hostagepenalty", "13"},
        {"mp_kickpercent", "0.66"},
        {"mp_limitteams", "2"},
        {"mp_logdetail", "3"},
        {"mp_logfile", "1"},
        {"mp_logmessages", "1"},
        {"mp_mapvoteratio", "0.66"},
        {"mp_maxrounds", "0"},
        {"mp_mirrordamage", "0"},
        {"mp_playerid", "0"},
        {"mp_roundtime", "2.5"},
        {"mp_startmoney", "800"},
        {"mp_timeleft", "0"},
        {"mp_timelimit", "25"},
        {"mp_tkpunish", "0"},
        {"mp_winlimit", "0"},
        {"pausable", "0"},
        {"sv_accelerate", "5"},
        {"sv_aim", "0"},
        {"sv_airaccelerate", "10"},
        {"sv_airmove", "1"},
        {"sv_allowupload", "1"},
        {"sv_alltalk", "0"},
        {"sv_bounce", "1"},
        {"sv_cheats", "0"},
        {"sv_clienttrace", "1"},
        {"sv_clipmode", "0"},
        {"sv_contact", "admin@example.net"},
        {"sv_downloadurl", "http://fastdl.example.net/cstrike/"},
        {"sv_friction", "4"},
        {"sv_gravity", state.gravity},
        {"sv_logblocks", "0"},
        {"sv_maxrate", "25000"},
        {"sv_maxspeed", "320"},
        {"sv_minrate", "0"},
        // A protected setting shows only whether it is set.
        {"sv_password", state.joinPassword.isEmpty() ? "0" : "1"},
        {"sv_proxies", "1"},
        {"sv_restart", "0"},
        {"sv_restartround", "0"},
        {"sv_stepsize", "18"},
        {"sv_stopspeed", "100"},
        {"sv_uploadmax", "0.5"},
        {"sv_voiceenable", "1"},
        {"sv_wateraccelerate", "10"},
        {"sv_waterfriction", "1"},
        // A game library and a plugin manager add their own.
        {"amx_client_languages", "1"},
        {"amx_language", "en"},
        {"amx_nextmap", "de_inferno"},
        {"amx_timeleft", "19:42"},
        {"amxmodx_version", "1.9.0.5294"},
        {"csstats_reset", "0"},
        {"game_version", "5.21.0.546-dev"},
        {"mp_afk_bomb_drop_time", "0"},
        {"mp_allow_point_servercommand", "0"},
        {"mp_auto_join_team", "0"},
        {"mp_auto_reload_weapons", "0"},
        {"mp_buy_anywhere", "0"},
        {"mp_falldamage", "1"},
        {"mp_forcerespawn", "0"},
        {"mp_free_armor", "0"},
        {"mp_give_player_c4", "1"},
        {"mp_hostage_hurtable", "1"},
        {"mp_hullbounds_sets", "1"},
        {"mp_item_staytime", "300"},
        {"mp_jointeam_only", "0"},
        {"mp_kill_filled_spawn", "1"},
        {"mp_legacy_bombtarget_touch", "1"},
        {"mp_plant_c4_anywhere", "0"},
        {"mp_respawn_immunitytime", "0"},
        {"mp_round_infinite", "0"},
        {"mp_roundrespawn_time", "20"},
        {"mp_scoreboard_showdefkit", "1"},
        {"mp_scoreboard_showhealth", "3"},
        {"mp_scoreboard_showmoney", "3"},
        {"mp_show_scenarioicon", "0"},
        {"mp_t_default_weapons_primary", ""},
        {"mp_t_default_weapons_secondary", "glock18"},
        {"mp_ct_default_weapons_primary", ""},
        {"mp_ct_default_weapons_secondary", "usp"},
        {"mp_unduck_method", "0"},
        {"mp_weapons_allow_map_placed", "1"},
        {"reu_version", "0.2.0.34"},
        {"sv_rehlds_hull_centering", "0"},
        {"sv_rehlds_movecmdrate_max_avg", "400"},
        {"sv_rehlds_stringcmdrate_max_avg", "80"},
    };
    return rules;
}

QList<QByteArray> A2sResponder::datagrams(const QByteArray &payload) {
    if (payload.size() <= MaxDatagram)
        return {payload};
    QList<QByteArray> parts = GoldSrcServer::splitPacket(payload, m_splitId++, MaxDatagram);
    switch (m_splitOrder) {
    case SplitOrder::InOrder:
        break;
    case SplitOrder::Reversed:
        std::reverse(parts.begin(), parts.end());
        break;
    case SplitOrder::Shuffled:
        std::shuffle(parts.begin(), parts.end(), *QRandomGenerator::global());
        break;
    }
    return parts;
}
