#!/usr/bin/env python3
"""Writes the demo school's payroll data: data/etc/rag/sql/demo/100_paghe.sql.

Run from the repository root after changing a payee below; the SQL file it
writes is committed. Every amount is written as it stands here, so the
figures of docs/demo-payees.md can be checked by hand against this file.

    python3 tools/demo-payroll/make_demo_payroll.py
"""
from decimal import Decimal, ROUND_HALF_UP
import datetime
import os
import sys

YEAR = 2025
ANF = 56            # financial-year key of 2025
SED = 1             # the demo school
OUT = os.path.join(os.path.dirname(__file__), '..', '..', 'data', 'etc', 'rag', 'sql', 'demo', '100_paghe.sql')

# ---------------------------------------------------------------- tax codes
ODD = dict(zip('0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ',
               [1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18, 20, 11, 3, 6, 8,
                12, 14, 16, 10, 22, 25, 24, 23]))
EVEN = {c: (int(c) if c.isdigit() else ord(c) - ord('A')) for c in '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ'}
MONTHS = 'ABCDEHLMPRST'


def check_char(code15):
    s = sum(ODD[c] if i % 2 == 0 else EVEN[c] for i, c in enumerate(code15))
    return chr(ord('A') + s % 26)


def _letters(text):
    t = ''.join(c for c in text.upper() if c.isalpha())
    cons = [c for c in t if c not in 'AEIOU']
    vows = [c for c in t if c in 'AEIOU']
    return cons, vows


def surname_part(s):
    cons, vows = _letters(s)
    return (''.join(cons + vows) + 'XXX')[:3]


def name_part(n):
    cons, vows = _letters(n)
    if len(cons) >= 4:
        return cons[0] + cons[2] + cons[3]
    return (''.join(cons + vows) + 'XXX')[:3]


def tax_code(surname, name, born, sex, cadastral):
    y, m, d = born
    day = d + (40 if sex == 'F' else 0)
    code = surname_part(surname) + name_part(name) + '%02d' % (y % 100) + MONTHS[m - 1] + '%02d' % day + cadastral
    return code + check_char(code)


# ---------------------------------------------------------------- helpers
def q(v):
    if v is None:
        return 'NULL'
    if isinstance(v, str):
        return "'" + v.replace("'", "''") + "'"
    if isinstance(v, Decimal):
        return str(v.quantize(Decimal('0.01')))
    return str(v)


def D(x):
    return Decimal(str(x)).quantize(Decimal('0.01'), rounding=ROUND_HALF_UP)


rows = {}   # table -> (columns, [values])


def add(table, **cols):
    names = list(cols)
    if table not in rows:
        rows[table] = (names, [])
    assert rows[table][0] == names, (table, names)
    rows[table][1].append([cols[n] for n in names])


class Ids:
    def __init__(self):
        self.n = {}

    def next(self, key, start):
        self.n[key] = self.n.get(key, start - 1) + 1
        return self.n[key]


ids = Ids()

# Municipalities of the demo (tcom_comuni ids of demo/010_territorio.sql).
COM = {'RAVENNA': (1, 'H199', 1), 'FAENZA': (2, 'D458', 6), 'LUGO': (3, 'E730', 7), 'CERVIA': (4, 'C553', 8),
       'FORLI': (5, 'D704', 9), 'CESENA': (6, 'C573', 10), 'RIMINI': (7, 'H294', 11), 'FERRARA': (8, 'D548', 12),
       'BOLOGNA': (9, 'A944', 13), 'ROMA': (10, 'H501', 14), 'MILANO': (11, 'F205', 15), 'NAPOLI': (12, 'F839', 16),
       'TORINO': (13, 'L219', 17), 'FIRENZE': (14, 'D612', 18), 'BARI': (15, 'A662', 19), 'PALERMO': (16, 'G273', 20),
       'PADOVA': (17, 'G224', 21), 'VERONA': (18, 'L781', 22)}
STATES = {'ROMANIA': (1, 'Z129'), 'ALBANIA': (2, 'Z100'), 'MAROCCO': (3, 'Z330')}


def person(n, surname, name, sex, born, birthplace, residence, cat, has_code=True, address=None):
    if birthplace in STATES:
        sta, cadastral = STATES[birthplace]
        com = None
    else:
        com, cadastral, _ = COM[birthplace]
        sta = None
    code = tax_code(surname, name, born, sex, cadastral) if has_code else None
    add('tana_anagrafiche', ianaid=n, sanacognome=surname, sananome=name, sanacodfiscale=code,
        dananascita='%04d-%02d-%02d' % born, isexid=1 if sex == 'M' else 2, icomid_nas=com, istaid_nas=sta)
    rcom, _, rcap = COM[residence]
    add('tanaabt_indirizzi', ianaabtid=n, ianaid=n, ilocid=2, danaabtvalidodal='2015-01-01',
        sanaabtindirizzo=address or 'VIA ROMA, %d' % n, icomid=rcom, icapid=rcap)
    add('tanaper_personale', ianaperid=n, ianaid=n, isedid=SED, sanapercodice='%05d' % n, icalid=cat)
    return code


def relationship(acom, n, itno, iqar, start, end=None, minimi=0, enpals=0, borsa=0, durata=0, scala=0):
    add('tacom_rapporti', iacomid=acom, ianaperid=n, ianfid=ANF, itnoid=itno, iqarid=iqar, dacominirapp=start,
        dacomfinerapp=end, lacomminimi=minimi, iacomsoggenpals=enpals, lacomborsadottorato=borsa,
        iacomduratarapp=durata, iacomscainpdap=scala)


def last_day(m):
    return [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][m - 1]


def calendar_days(dal, al):
    d = [datetime.date.fromisoformat(x) for x in (dal, al)]
    return (d[1] - d[0]).days + 1


def register(acom, month, itno, iqar, cot=1, days=None, dal=None, al=None, noipa=0, causale=None):
    rid = ids.next('regs', 1001)
    if cot == 1 and dal is None:
        dal, al = '%d-%02d-01' % (YEAR, month), '%d-%02d-%02d' % (YEAR, month, last_day(month))
    if days is None:
        # Days of deduction are calendar days: a whole year makes 365.
        days = calendar_days(dal, al) if cot == 1 else 0
    add('tregs_registri', iregsid=rid, ianfid=ANF, imesid=month, icotid=cot, iregsgruppo=1,
        dregsdata='%d-%02d-23' % (YEAR, month), iacomid=acom, itnoid=itno, iqarid=iqar, iregsgiorni=days,
        dregsdal=dal, dregsal=al, lregsexpcsfa=noipa, sregscausale=causale)
    return rid


def pay(reg, item, amount):
    vid = ids.next('vacr', 1)
    add('tvacr_vocicalcolate', ivacrid=vid, iregsid=reg, icomrid=item, fvacrlordo=D(amount))
    return vid


def wh(reg, code, imp=0, rit=0, lordo=0, imp_amm=0, rit_amm=0, cos=None, riprid=None, line=None, ritv=None,
       item=None, ctragg=0):
    add('tvarr_varritenute', ivarrid=ids.next('varr', 1), ivarmid=line, iriceid=code,
        fvarrimponibiledip=D(imp), fvarrpercimpdip=0, fvarrritdip=D(rit), fvarrimponibileamm=D(imp_amm),
        fvarrpercimpamm=0, fvarrritamm=D(rit_amm), iregsid=reg, icomrid=item, icosid=cos, ivarmriprid=riprid,
        iritvid=ritv, fvarrlordo=D(lordo), fvarrritammeccmass=0, fvarrritdipctragg=D(ctragg), fvarrritdipeccmass=0)


def deductions(reg, lavdip=0, con=0, figli=0, altri=0, lavagg=0):
    add('tadetr_detrazioniregs', iadetrid=ids.next('adetr', 1), iregsid=reg, iriceid=7, fadetimpconcar=D(con),
        fadetimpfiglicar=D(figli), fadetimpaltricar=D(altri), fadetimplavdip=D(lavdip), fadetimplavagg=D(lavagg))


def monthly(acom, months, itno, iqar, gross, irpef_lordo, irpef_netto, inps_code=3, inps_rate='9.19',
            addcom=0, addreg=0, ded=None, noipa=0, days=None, inpdap=False, fpc=None):
    """Fundamental pay of the given months, the same every month.

    INPS (or, with inpdap, public pension code 2) is gross x rate %, rounded
    to cents; IRPEF taxable is gross minus that contribution."""
    regs = []
    for m in months:
        r = register(acom, m, itno, iqar, days=days, noipa=noipa)
        pay(r, 10001, gross)
        contrib = D(Decimal(str(gross)) * Decimal(inps_rate) / 100)
        wh(r, 2 if inpdap else inps_code, imp=gross, rit=contrib, imp_amm=gross,
           rit_amm=D(Decimal(str(gross)) * Decimal('24.20') / 100), cos=10001)
        wh(r, 7, imp=D(gross) - contrib, rit=irpef_netto, lordo=irpef_lordo)
        if addcom:
            wh(r, 8, imp=D(gross) - contrib, rit=addcom)
        if addreg:
            wh(r, 10, imp=D(gross) - contrib, rit=addreg)
        if ded:
            deductions(r, **ded)
        if fpc:
            wh(r, 20, imp=gross, rit=fpc[0], imp_amm=gross, rit_amm=fpc[1])
            wh(r, 21, imp=gross, rit=0, imp_amm=gross, rit_amm=fpc[2])
        regs.append(r)
    return regs


def adjustment(acom, month, **f):
    cols = dict(icongid=acom, iacomid=acom, imesid=month)
    for k in ['fcongimponibile_t', 'fcongimponibile_p', 'fcongritlorda', 'fcongritnetta', 'fcongdetrazioni',
              'fcongimpconcar', 'fcongimpfiglicar', 'fcongimpaltricar', 'fcongimplavdip', 'fcongimplavagg',
              'fcongaddcom_dov', 'fcongaddreg_dov', 'fconggiorni', 'fcongdetfamnum', 'fcongcrefamnum',
              'fcongcnrfamnum', 'fcongdetcanone', 'fcongcrecanone', 'fcongcnrcanone', 'fcongbonus66_dov',
              'fcongtaglio_cuneo_fisc_dov', 'fcongtaglio_cuneo_fisc_perc', 'fcongimpnetto']:
        v = f.pop(k[5:], 0)
        cols[k] = v if k == 'fconggiorni' else D(v)
    assert not f, f
    add('tcong_conguagli', **cols)


def declaration(n, spouse=None, spouse_dep=0, children=0, others=0, other1=None, other2=None, perc_altri=0,
                missing_parent=0, details=()):
    did = n
    add('tadet_detrazioni', iadetid=did, ianaid=n, ianfid=ANF, sadetcfconcar=spouse, ladetconcar=spouse_dep,
        iadetfigli=children, iadetaltri=others, sadetcfaltricar1=other1, sadetcfaltricar2=other2,
        fadetpercaltri=D(perc_altri), ladetmancagenitore=missing_parent)
    for d in details:
        dal, al = d['months']
        add('tadef_detrfigli', iadefid=ids.next('adef', 1), iadetid=did, sadefcodfisc=d.get('code'),
            iadefordine=d['order'], imesdal=dal, imesal=al, fdefperc=D(d.get('perc', 50)),
            ladefhandycap=d.get('handy', 0), ladefaffido100=d.get('foster', 0),
            iadefmesicarico=d.get('carico', al - dal + 1), iadefmesimin3=d.get('min3', 0),
            iadefmesigf=d.get('gf', 0), iadefmesialtri=d.get('altri', 0))


def child_code(surname, name, born, sex='M', place='RAVENNA'):
    return tax_code(surname, name, born, sex, COM[place][1])


# ---------------------------------------------------------------- code tables
def code_tables():
    for i, s, l in [(1, 'M', 'MASCHIO'), (2, 'F', 'FEMMINA')]:
        add('tsex_sessi', isexid=i, ssexsdesc=s, ssexldesc=l)
    for name, (i, cad) in STATES.items():
        add('tsta_stati', istaid=i, sstadesc=name, sstacodcatastale=cad)
    for i, m in enumerate(['GENNAIO', 'FEBBRAIO', 'MARZO', 'APRILE', 'MAGGIO', 'GIUGNO', 'LUGLIO', 'AGOSTO',
                           'SETTEMBRE', 'OTTOBRE', 'NOVEMBRE', 'DICEMBRE'], 1):
        add('tmes_mesi', imesid=i, smesdesc=m)
    for i, d in [(1, 'DOCENTI'), (2, 'PERSONALE ATA'), (3, 'DIRIGENTI'), (4, 'ESPERTI ESTERNI'),
                 (5, 'COLLABORATORI E BORSISTI')]:
        add('tcal_categorie', icalid=i, scalldesc=d, icalorvexcode=i)
    for i, d in [(1, 'TEMPO INDETERMINATO'), (2, 'TEMPO INDETERMINATO PART-TIME'), (3, 'SUPPLENTE ANNUALE'),
                 (4, 'SUPPLENTE TEMPORANEO'), (9, 'RIMBORSI A PERSONALE ESTERNO'), (10, 'PRESTAZIONE OCCASIONALE'),
                 (11, 'COLLABORAZIONE COORDINATA E CONTINUATIVA'), (12, 'COMPENSI A TERZI NON CERTIFICATI'),
                 (13, 'COMPONENTI COMMISSIONI ESTERNE'), (14, 'LIBERO PROFESSIONISTA'),
                 (15, 'LAVORATORE AUTONOMO'), (17, 'BORSISTA / DOTTORANDO')]:
        add('ttno_posgiuridiche', itnoid=i, stnoldesc=d, itnoorvexcode=i)
    for i, d in [(1, 'DOCENTE SCUOLA PRIMARIA'), (2, 'DOCENTE SCUOLA SECONDARIA DI I GRADO'),
                 (3, 'ASSISTENTE AMMINISTRATIVO'), (4, 'COLLABORATORE SCOLASTICO'), (5, 'DOCENTE DI RELIGIONE'),
                 (6, 'DIRETTORE SERVIZI GENERALI E AMMINISTRATIVI'), (7, 'ESPERTO ESTERNO'),
                 (8, 'COLLABORATORE COORDINATO'), (9, 'BORSISTA'), (10, 'PROFESSIONISTA')]:
        add('tqar_qualifiche', iqarid=i, sqarldesc=d, iqarorvexcode=i)
    for i, d in [(2, 'CONTRIBUTI PENSIONE GESTIONE PUBBLICA (EX INPDAP)'), (3, 'CONTRIBUTI INPS'),
                 (7, 'IRPEF'), (8, 'ADDIZIONALE COMUNALE'), (10, 'ADDIZIONALE REGIONALE'),
                 (11, 'IRPEF LAVORO AUTONOMO'), (12, 'IRPEF TASSAZIONE SEPARATA'), (13, 'CONTRIBUTI INPS PART-TIME'),
                 (15, 'INPS GESTIONE SEPARATA'), (16, 'FONDO LAVORATORI SPETTACOLO (EX ENPALS)'),
                 (20, 'PREVIDENZA COMPLEMENTARE'), (21, 'TFR AL FONDO PENSIONE')]:
        add('trice_ritenute', iriceid=i, sriceldesc=d)
    items = [(10001, 'STIPENDIO TABELLARE', 0, 0, 0), (10002, 'TREDICESIMA', 0, 0, 0),
             (10010, 'FONDO DELL\'ISTITUZIONE SCOLASTICA', 0, 0, 0), (10011, 'COMPENSO PROFESSIONALE', 0, 0, 0),
             (10012, 'RIMBORSO SPESE DOCUMENTATE', 0, 0, 1), (10013, 'SOMME NON SOGGETTE A RITENUTA', 0, 1, 0),
             (10014, 'BORSA DI STUDIO', 0, 0, 0), (10015, 'COMPENSO CON RITENUTA PREVIDENZIALE SPETTACOLO', 0, 0, 0),
             (10020, 'ARRETRATI ANNI PRECEDENTI', 0, 0, 0),
             (10026, '730 SALDO IRPEF TRATTENUTO', 4, 0, 0), (10027, '730 SALDO IRPEF RIMBORSATO', 4, 0, 0),
             (10028, '730 ADD. REGIONALE TRATTENUTA', 4, 0, 0), (10029, '730 ADD. REGIONALE RIMBORSATA', 4, 0, 0),
             (10030, '730 ADD. COMUNALE SALDO TRATTENUTO', 4, 0, 0),
             (10031, '730 ADD. COMUNALE SALDO RIMBORSATO', 4, 0, 0),
             (10032, '730 PRIMO ACCONTO IRPEF', 4, 0, 0), (10033, '730 SECONDO ACCONTO IRPEF', 4, 0, 0),
             (10036, '730 ACCONTO ADD. COMUNALE', 4, 0, 0), (10037, '730 TASSAZIONE SEPARATA', 4, 0, 0),
             (10039, '730 CONIUGE SALDO IRPEF TRATTENUTO', 4, 0, 0),
             (10040, '730 CONIUGE SALDO IRPEF RIMBORSATO', 4, 0, 0),
             (10041, '730 CONIUGE ADD. REG. TRATTENUTA', 4, 0, 0), (10042, '730 CONIUGE ADD. REG. RIMBORSATA', 4, 0, 0),
             (10043, '730 CONIUGE ADD. COM. TRATTENUTA', 4, 0, 0), (10044, '730 CONIUGE ADD. COM. RIMBORSATA', 4, 0, 0),
             (10045, '730 CONIUGE PRIMO ACCONTO IRPEF', 4, 0, 0), (10046, '730 CONIUGE SECONDO ACCONTO IRPEF', 4, 0, 0),
             (10047, '730 CONIUGE ACCONTO ADD. COMUNALE', 4, 0, 0), (10048, '730 CONIUGE TASSAZIONE SEPARATA', 4, 0, 0),
             (10054, 'IRPEF SOSPESA', 0, 0, 0), (10057, '730 IMPOSTA SOSTITUTIVA PREMI', 4, 0, 0),
             (10058, '730 CONIUGE IMPOSTA SOSTITUTIVA PREMI', 4, 0, 0),
             (10059, '730 CEDOLARE SECCA TRATTENUTA', 4, 0, 0), (10060, '730 CONIUGE CEDOLARE SECCA TRATTENUTA', 4, 0, 0),
             (10061, '730 CEDOLARE SECCA RIMBORSATA', 4, 0, 0), (10062, '730 CONIUGE CEDOLARE SECCA RIMBORSATA', 4, 0, 0),
             (10063, '730 PRIMA RATA ACCONTO CEDOLARE SECCA', 4, 0, 0),
             (10064, '730 CONIUGE PRIMA RATA ACCONTO CEDOLARE', 4, 0, 0),
             (10065, '730 SECONDA RATA ACCONTO CEDOLARE SECCA', 4, 0, 0),
             (10066, '730 CONIUGE SECONDA RATA ACCONTO CEDOLARE', 4, 0, 0),
             (10069, 'TRATTAMENTO INTEGRATIVO', 0, 0, 0), (11069, 'TRATTAMENTO INTEGRATIVO ARRETRATO', 0, 0, 0),
             (10070, 'ESONERO IVS STIPENDIO', 0, 0, 0), (10071, 'ESONERO IVS TREDICESIMA', 0, 0, 0),
             (10072, 'ESONERO IVS MADRI', 0, 0, 0)]
    for i, d, g, ns, sr in items:
        add('tcomr_vocicompenso', icomrid=i, scomrldesc=d, icomrgruppo=g, lcomrnonsogg=ns, lcomrspeserimb=sr)
    # Contribution rates of 2025: public pension 8.80 % employee (scale 1),
    # entertainment fund 9.19 % employee and 23.81 % employer.
    add('trica_aliquote', iricaid=1, iriceid=2, ianfid=ANF, iacomscainpdap=1, fricaaliquotadip=Decimal('8.80'),
        fricaaliquotaamm=Decimal('24.20'), fricaminimale=0)
    add('trica_aliquote', iricaid=2, iriceid=16, ianfid=ANF, iacomscainpdap=0, fricaaliquotadip=Decimal('9.19'),
        fricaaliquotaamm=Decimal('23.81'), fricaminimale=Decimal('52.95'))
    add('tenpm_massimali', ienpmid=1, ianfid=ANF, fenpmmassimale=Decimal('120607.00'))
    # Deduction brackets of 2025 (art. 13 and 12 TUIR).
    for i, uc, da, a, det in [(1, 1, 0, 15000, 1955), (2, 2, 15000, 28000, 1910), (3, 3, 28000, 50000, 1910)]:
        add('ttdla_detrlavoro', itdlaid=i, ianfid=ANF, itdlausercode=uc, ftdlascaglione=D(da), ftdlascaglionea=D(a),
            ftdladetrazione=D(det), ftdlaminind=D(690), ftdlamindet=D(1380))
    add('ttdla_detrlavoro', itdlaid=4, ianfid=ANF, itdlausercode=-1, ftdlascaglione=D(0), ftdlascaglionea=D(0),
        ftdladetrazione=D(65), ftdlaminind=D(690), ftdlamindet=D(1380))
    for i, uc, da, a, det in [(1, 1, 0, 15000, 800), (2, 2, 15000, 40000, 690), (3, 3, 40000, 80000, 690),
                              (4, -1, 29000, 35200, 10)]:
        add('ttdco_detrconiuge', itdcoid=i, ianfid=ANF, itdcousercode=uc, ftdcoscaglione=D(da), ftdcoscaglionea=D(a),
            ftdcodetrazione=D(det))
    add('ttdfa_detrfamiliari', itdfaid=1, ianfid=ANF, ftdfasogliabase=D(95000), ftdfasogliainc=D(15000),
        ftdfadetfiglio1=D(950), ftdfadetfiglio3=D(950), ftdfadetfigliomin3=D(0), ftdfadethandy1=D(0),
        ftdfadetaltri=D(750), ftdfasogliaaltri=D(80000), ftdfadetfamnum=D(1200))
    for i, t, da, det in [(1, 1, 15493.71, 300), (2, 1, 30987.41, 150.81), (3, 2, 15493.71, 495.80),
                          (4, 2, 30987.41, 247.90), (5, 3, 15493.71, 991.60)]:
        add('ttdca_detrcanone', itdcaid=i, ianfid=ANF, itdcatipo=t, ftdcascaglione=D(da), ftdcadetrazione=D(det))
    for i, uc, da, det in [(1, 1, 8500, 7.1), (2, 2, 15000, 5.3), (3, 3, 20000, 4.8), (4, 4, 40000, 1000)]:
        add('ttdcu_cuneofiscale', itdcuid=i, ianfid=ANF, itdcuusercode=uc, ftdcuscaglione=D(da), ftdcudetrazione=D(det))
    for i, qar, item, imp in [(1, 1, 10001, 2250.00), (2, 2, 10001, 2450.00), (3, 3, 10001, 1850.00),
                              (4, 4, 10001, 1600.00)]:
        add('tccnl_contratti', iccnlid=i, ianfid=ANF, iqarid=qar, icomrid=item, fccnlimporto=D(imp))


# ---------------------------------------------------------------- the payees
ALL = list(range(1, 13))
STD_DED = dict(lavdip=150)


def payees():
    # 1 Teacher, open-ended, year-end adjustment in December; spouse and two
    #   children; pension fund joined in 2010; public pension (code 2).
    n = 1
    person(n, 'ROSSI', 'MARIO', 'M', (1975, 3, 12), 'RAVENNA', 'RAVENNA', 1)
    relationship(101, n, 1, 2, '2003-09-01', scala=1)
    monthly(101, ALL, 1, 2, 2500, 480, 330, inpdap=True, inps_rate='8.80', addcom=12, addreg=30,
            ded=dict(lavdip=150), fpc=(25, 25, 172.50))
    adjustment(101, 12, imponibile_t=27360, imponibile_p=0, ritlorda=6708.40, ritnetta=3958.40,
               detrazioni=2750, impconcar=690, impfiglicar=0, impaltricar=0, implavdip=1960, implavagg=100,
               addcom_dov=218.88, addreg_dov=452.04, giorni=365, bonus66_dov=0)
    declaration(n, spouse=tax_code('BIANCHI', 'ROSA', (1977, 5, 2), 'F', 'D458'), spouse_dep=1, children=2,
                details=[dict(order=1, code=child_code('ROSSI', 'LUCA', (2008, 4, 10)), months=(1, 12), perc=50),
                         dict(order=2, code=child_code('ROSSI', 'GIULIA', (2011, 9, 22), 'F'), months=(1, 12),
                              perc=50)])
    add('tafp_fondipensione', iafpid=1, ianaid=n, safpdesc='FONDO ESPERO', dafpadesione='2010-03-01')

    # 2 Teacher, open-ended, no adjustment, monthly deductions applied.
    n = 2
    person(n, 'BIANCHI', 'LAURA', 'F', (1980, 7, 25), 'FAENZA', 'FAENZA', 1)
    relationship(102, n, 1, 1, '2008-09-01')
    monthly(102, ALL, 1, 1, 2200, 415.35, 265.35, addcom=10, addreg=25,
            ded=dict(lavdip=150, con=0, figli=40, altri=0, lavagg=0))

    # 3 Administrative assistant, open-ended, no adjustment, no deductions.
    n = 3
    person(n, 'ESPOSITO', 'GIUSEPPE', 'M', (1968, 1, 30), 'NAPOLI', 'RAVENNA', 2)
    relationship(103, n, 1, 3, '1999-10-01')
    monthly(103, ALL, 1, 3, 1800, 315, 315, addcom=8, addreg=20)

    # 4 Fixed-term teacher, two spells: 15 Jan - 30 Jun and 15 Sep - 31 Dec;
    #   5 days of absence in March.
    n = 4
    person(n, 'FERRARI', 'ANNA', 'F', (1992, 11, 3), 'LUGO', 'LUGO', 1)
    relationship(104, n, 3, 1, '2025-01-15', '2025-12-31')
    r = register(104, 1, 3, 1, days=17, dal='2025-01-15', al='2025-01-31')
    pay(r, 10001, 1200)
    wh(r, 3, imp=1200, rit=110.28, cos=10001)
    wh(r, 7, imp=1089.72, rit=250.64, lordo=250.64)
    for m in range(2, 7):
        r = register(104, m, 3, 1)
        pay(r, 10001, 2100)
        wh(r, 3, imp=2100, rit=192.99, cos=10001)
        wh(r, 7, imp=1907.01, rit=438.61, lordo=438.61)
    r = register(104, 9, 3, 1, days=16, dal='2025-09-15', al='2025-09-30')
    pay(r, 10001, 1120)
    wh(r, 3, imp=1120, rit=102.93, cos=10001)
    wh(r, 7, imp=1017.07, rit=233.93, lordo=233.93)
    for m in range(10, 13):
        r = register(104, m, 3, 1)
        pay(r, 10001, 2100)
        wh(r, 3, imp=2100, rit=192.99, cos=10001)
        wh(r, 7, imp=1907.01, rit=438.61, lordo=438.61)
    add('tass_assenze', iassid=1, iacomid=104, imesid=3, iassgiorni=5, sassdesc='MALATTIA NON RETRIBUITA')

    # 5 One relationship, two legal positions: open-ended part-time Jan-Jun,
    #   full-time from July.
    n = 5
    person(n, 'ROMANO', 'MARCO', 'M', (1985, 2, 14), 'FORLI', 'FORLI', 2)
    relationship(105, n, 2, 4, '2015-09-01')
    monthly(105, range(1, 7), 2, 4, 900, 207, 57, inps_code=13, ded=STD_DED)
    monthly(105, range(7, 13), 1, 4, 1600, 280, 130, ded=STD_DED)

    # 6 Co-ordinated collaborator (position 11) on a contract from 1 October
    #   2024 to 30 June 2025: the payroll carries 200 days, the year holds
    #   181 of them; INPS separate scheme.
    n = 6
    person(n, 'COLOMBO', 'PAOLO', 'M', (1979, 6, 8), 'MILANO', 'CESENA', 5)
    relationship(106, n, 11, 8, '2024-10-01', '2025-06-30', durata=200)
    for m in range(1, 7):
        r = register(106, m, 11, 8, days=0)
        pay(r, 10001, 1000)
        wh(r, 15, imp=1000, rit=116.67, imp_amm=1000, rit_amm=233.33)
        wh(r, 7, imp=883.33, rit=203.17, lordo=203.17)

    # 7 Scholarship holder (17): no IRPEF, scholarship income only.
    n = 7
    person(n, 'RICCI', 'CHIARA', 'F', (1998, 12, 1), 'BOLOGNA', 'BOLOGNA', 5)
    relationship(107, n, 17, 9, '2024-11-01', '2027-10-31', borsa=1)
    for m in ALL:
        r = register(107, m, 17, 9, days=0)
        pay(r, 10014, 1250)

    # 8 Professional, ordinary regime (reason A): two invoices, refunded
    #   expenses and a sum not subject to withholding.
    n = 8
    person(n, 'MARINO', 'LUCA', 'M', (1970, 10, 19), 'CESENA', 'CESENA', 4)
    relationship(108, n, 14, 10, '2025-02-01', '2025-05-31')
    r = register(108, 3, 14, 10, cot=2, causale='A')
    pay(r, 10011, 1500)
    pay(r, 10012, 80)
    wh(r, 11, imp=1500, rit=300)
    wh(r, 3, imp=1500, rit=0, imp_amm=1500, rit_amm=60)
    r = register(108, 5, 14, 10, cot=2, causale='A')
    pay(r, 10011, 1000)
    pay(r, 10013, 50)
    wh(r, 11, imp=1000, rit=200)
    wh(r, 3, imp=1000, rit=0, imp_amm=1000, rit_amm=40)

    # 9 Professional under the flat-rate regime (reason A: a profession
    #   exercised habitually): no withholding.
    n = 9
    person(n, 'GRECO', 'FRANCESCA', 'F', (1988, 4, 17), 'RIMINI', 'RIMINI', 4)
    relationship(109, n, 14, 10, '2025-04-01', '2025-06-30', minimi=1)
    r = register(109, 6, 14, 10, cot=2, causale='A')
    pay(r, 10011, 2000)

    # 10 Occasional work (position 10, reason M: work not exercised
    #    habitually), withholding on account.
    n = 10
    person(n, 'BRUNO', 'ALESSANDRO', 'M', (1990, 8, 9), 'FERRARA', 'FERRARA', 4)
    relationship(110, n, 10, 7, '2025-10-01', '2025-10-31')
    r = register(110, 10, 10, 7, cot=2, causale='M')
    pay(r, 10011, 800)
    wh(r, 11, imp=800, rit=160)

    # 11 Professional paid under two reasons (A then M): one entry each.
    n = 11
    person(n, 'GALLO', 'SARA', 'F', (1983, 5, 27), 'VERONA', 'VERONA', 4)
    relationship(111, n, 14, 10, '2025-01-10', '2025-11-30')
    r = register(111, 2, 14, 10, cot=2, causale='A')
    pay(r, 10011, 500)
    wh(r, 11, imp=500, rit=100)
    r = register(111, 9, 14, 10, cot=2, causale='M')
    pay(r, 10011, 700)
    wh(r, 11, imp=700, rit=140)

    # 12 Accessory pay sent to NoiPA only.
    n = 12
    person(n, 'CONTI', 'ROBERTO', 'M', (1966, 9, 5), 'ROMA', 'RAVENNA', 1)
    relationship(112, n, 1, 2, '1995-09-01')
    for m in (6, 12):
        r = register(112, m, 1, 2, cot=2, noipa=1)
        v = pay(r, 10010, 600)
        wh(r, 7, imp=600, rit=138, lordo=138, line=v, item=10010)
        add('tcfsa_accfuorisistema', icfsaid=ids.next('cfsa', 1), iacomid=112, icfsaannorif=YEAR,
            icfsameseliquidaz=m, fcfsaimponpens=D(600), fcfsaritpens=D(52.80), fcfsacontrammpens=D(145.20),
            fcfsaimponoperap=D(600), fcfsaritammoperap=D(16.20), fcfsaimponfondoc=D(600), fcfsaritfondoc=D(2.10))

    # 13 Mixed: local accessory pay and one payment sent to NoiPA.
    n = 13
    person(n, 'DE LUCA', 'GIULIA', 'F', (1982, 3, 21), 'PALERMO', 'RAVENNA', 1)
    relationship(113, n, 1, 2, '2010-09-01')
    r = register(113, 4, 1, 2, cot=2)
    v = pay(r, 10010, 400)
    wh(r, 7, imp=400, rit=92, lordo=92, line=v, item=10010)
    r = register(113, 10, 1, 2, cot=2, noipa=1)
    v = pay(r, 10010, 300)
    wh(r, 7, imp=300, rit=69, lordo=69, line=v, item=10010)

    # 14 Relationship without a start date.
    n = 14
    person(n, 'MANCINI', 'DAVIDE', 'M', (1977, 12, 11), 'TORINO', 'RAVENNA', 2)
    relationship(114, n, 1, 4, None)
    monthly(114, ALL, 1, 4, 1550, 262.35, 112.35, ded=STD_DED)

    # 15 No tax code yet.
    n = 15
    person(n, 'COSTA', 'ELENA', 'F', (1995, 2, 28), 'FIRENZE', 'FAENZA', 1, has_code=False)
    relationship(115, n, 3, 1, '2025-09-01', '2026-06-30')
    monthly(115, range(9, 13), 3, 1, 2100, 438.61, 288.61, ded=STD_DED)

    # 16 Spouse dependent; a child declared in two month ranges (50 % then
    #    100 %), a child under three.
    n = 16
    person(n, 'GIORDANO', 'STEFANO', 'M', (1981, 1, 9), 'BARI', 'RAVENNA', 1)
    relationship(116, n, 1, 2, '2006-09-01')
    monthly(116, ALL, 1, 2, 2300, 437, 187, ded=dict(lavdip=150, con=57.50, figli=42.50))
    c1 = child_code('GIORDANO', 'SOFIA', (2012, 6, 30), 'F')
    declaration(n, spouse=tax_code('LEONE', 'MARTA', (1983, 8, 19), 'F', 'A662'), spouse_dep=1, children=2,
                details=[dict(order=1, code=c1, months=(1, 6), perc=50, gf=0),
                         dict(order=1, code=c1, months=(7, 12), perc=100),
                         dict(order=2, code=child_code('GIORDANO', 'PIETRO', (2023, 11, 4)), months=(1, 12),
                              perc=50, min3=12)])

    # 17 A child with no months dependent and a child without tax code.
    n = 17
    person(n, 'RIZZO', 'VALENTINA', 'F', (1979, 10, 13), 'RAVENNA', 'CERVIA', 2)
    relationship(117, n, 1, 3, '2001-01-15')
    monthly(117, ALL, 1, 3, 1850, 328.90, 178.90, ded=STD_DED)
    declaration(n, children=3, missing_parent=1,
                details=[dict(order=1, code=child_code('RIZZO', 'EMMA', (2010, 2, 2), 'F', 'CERVIA'),
                              months=(1, 12), perc=100),
                         dict(order=2, code=child_code('RIZZO', 'NOAH', (2004, 7, 7), 'M', 'CERVIA'),
                              months=(1, 12), perc=50, carico=0),
                         dict(order=3, code=None, months=(1, 12), perc=50)])

    # 18 Other dependants without a percentage.
    n = 18
    person(n, 'LOMBARDI', 'ANDREA', 'M', (1972, 4, 4), 'PADOVA', 'RAVENNA', 2)
    relationship(118, n, 1, 6, '1998-09-01')
    monthly(118, ALL, 1, 6, 2600, 520, 370, ded=STD_DED)
    declaration(n, others=2, other1=tax_code('LOMBARDI', 'GINO', (1940, 1, 20), 'M', 'G224'),
                other2=tax_code('FERRO', 'ADA', (1942, 3, 15), 'F', 'G224'), perc_altri=0)

    # 19 Pension fund joined before 2007.
    n = 19
    person(n, 'MORETTI', 'SILVIA', 'F', (1964, 11, 29), 'RAVENNA', 'RAVENNA', 1)
    relationship(119, n, 1, 2, '1990-09-01', scala=1)
    monthly(119, ALL, 1, 2, 2700, 545, 395, inpdap=True, inps_rate='8.80', ded=STD_DED, fpc=(27, 27, 186.30))
    add('tafp_fondipensione', iafpid=2, ianaid=n, safpdesc='FONDO ESPERO', dafpadesione='2005-06-15')

    # 20 Fundamental and accessory pay under INPS.
    n = 20
    person(n, 'BARBIERI', 'FABIO', 'M', (1987, 9, 16), 'RAVENNA', 'RAVENNA', 2)
    relationship(120, n, 1, 4, '2019-09-01')
    monthly(120, ALL, 1, 4, 1500, 244.32, 94.32, ded=STD_DED)
    r = register(120, 7, 1, 4, cot=2)
    v = pay(r, 10010, 500)
    wh(r, 3, imp=500, rit=45.95, imp_amm=500, rit_amm=121, riprid=3, line=v, item=10010)
    wh(r, 7, imp=454.05, rit=104.43, lordo=104.43, line=v, item=10010)

    # 21 Public pension from the payments sent to NoiPA.
    n = 21
    person(n, 'FONTANA', 'GIORGIA', 'F', (1976, 1, 31), 'RAVENNA', 'LUGO', 1)
    relationship(121, n, 1, 1, '2004-09-01')
    monthly(121, ALL, 1, 1, 2350, 449.65, 299.65, inpdap=True, inps_rate='8.80', ded=STD_DED)
    add('tcfsa_accfuorisistema', icfsaid=ids.next('cfsa', 1), iacomid=121, icfsaannorif=YEAR, icfsameseliquidaz=7,
        fcfsaimponpens=D(1000), fcfsaritpens=D(88), fcfsacontrammpens=D(242), fcfsaimponoperap=D(1000),
        fcfsaritammoperap=D(27), fcfsaimponfondoc=D(1000), fcfsaritfondoc=D(3.50))

    # 22 730 refunds and withholdings.
    n = 22
    person(n, 'SANTORO', 'MATTEO', 'M', (1974, 7, 3), 'BOLOGNA', 'RAVENNA', 2)
    relationship(122, n, 1, 3, '2000-09-01')
    regs = monthly(122, ALL, 1, 3, 1900, 340, 190, ded=STD_DED)
    for m, item, amount in [(7, 10027, 350), (7, 10029, 40), (7, 10031, 15), (8, 10026, 120), (8, 10028, 30),
                            (11, 10033, 210), (11, 10036, 18), (7, 10032, 60), (11, 10040, 90), (11, 10063, 25),
                            (11, 10065, 35), (8, 10059, 12), (8, 10066, 5)]:
        pay(regs[m - 1], item, amount)

    # 23 Municipal surcharge: instalments withheld and monthly amount due.
    n = 23
    person(n, 'MARINI', 'FEDERICA', 'F', (1989, 12, 24), 'RAVENNA', 'RAVENNA', 2)
    relationship(123, n, 1, 3, '2018-09-01')
    regs = monthly(123, ALL, 1, 3, 1750, 305.40, 155.40, addcom=9.5, addreg=22, ded=STD_DED)
    for m in range(3, 12):
        wh(regs[m - 1], 8, imp=0, rit=11.11, ritv=4)

    # 24 Adjustment in June: contract ended 30 June 2025. The adjustment
    #    takes in 2,400.00 paid by another school for evening courses
    #    (January-June), part of the year's taxable.
    n = 24
    person(n, 'RINALDI', 'SIMONE', 'M', (1990, 5, 5), 'CESENA', 'CESENA', 1)
    relationship(124, n, 3, 2, '2024-09-01', '2025-06-30')
    monthly(124, range(1, 7), 3, 2, 2100, 438.61, 288.61, ded=STD_DED)
    adjustment(124, 6, imponibile_t=13842.06, imponibile_p=2400, ritlorda=3183.67, ritnetta=2195.42,
               detrazioni=988.25, implavdip=988.25, addcom_dov=110.74, addreg_dov=191.02, giorni=181)

    # 25 Adjustment with large-family and rent figures and the integrative
    #    treatment.
    n = 25
    person(n, 'CARUSO', 'MARTINA', 'F', (1984, 2, 8), 'RAVENNA', 'RAVENNA', 1)
    relationship(125, n, 1, 1, '2009-09-01')
    monthly(125, ALL, 1, 1, 1300, 230, 30, ded=dict(lavdip=150, figli=50))
    adjustment(125, 12, imponibile_t=14166.36, imponibile_p=0, ritlorda=3258.26, ritnetta=0,
               detrazioni=3258.26, impfiglicar=0, implavdip=1955, implavagg=0, addcom_dov=113.33,
               addreg_dov=198.33, giorni=365, detfamnum=1200, crefamnum=0, cnrfamnum=0, detcanone=300,
               crecanone=0, cnrcanone=0, bonus66_dov=1200)
    declaration(n, children=4, missing_parent=0,
                details=[dict(order=i, code=child_code('CARUSO', nm, (2010 + 2 * i, i, 10 + i), 'M', 'RAVENNA'),
                              months=(1, 12), perc=50) for i, nm in enumerate(['ALDO', 'BRUNO', 'CARLO', 'DARIO'], 1)])

    # 26 Integrative treatment paid without adjustment (items 10069, 11069).
    n = 26
    person(n, 'FERRARA', 'GIOVANNI', 'M', (1993, 6, 12), 'FERRARA', 'FERRARA', 2)
    relationship(126, n, 1, 4, '2020-09-01')
    regs = monthly(126, ALL, 1, 4, 1250, 209.64, 59.64, ded=STD_DED)
    for r in regs:
        pay(r, 10069, 100)
    pay(regs[0], 11069, 60)

    # 27 Arrears under separate taxation.
    n = 27
    person(n, 'GALLI', 'ALESSIA', 'F', (1971, 3, 3), 'RAVENNA', 'RAVENNA', 1)
    relationship(127, n, 1, 2, '1996-09-01')
    monthly(127, ALL, 1, 2, 2450, 469.50, 319.50, ded=STD_DED)
    r = register(127, 10, 1, 2, cot=3)
    pay(r, 10020, 1500)
    wh(r, 12, imp=1500, rit=345, lordo=345)

    # 28 Part-time employee under INPS part-time code.
    n = 28
    person(n, 'MARTINI', 'NICOLA', 'M', (1986, 10, 10), 'RAVENNA', 'RAVENNA', 2)
    relationship(128, n, 2, 4, '2012-09-01')
    monthly(128, ALL, 2, 4, 950, 198.67, 48.67, inps_code=13, ded=STD_DED)

    # 29 Born abroad, with adjustment.
    n = 29
    person(n, 'POPESCU', 'IOANA', 'F', (1985, 4, 22), 'ROMANIA', 'RAVENNA', 2)
    relationship(129, n, 1, 4, '2014-09-01')
    monthly(129, ALL, 1, 4, 1600, 333.02, 183.02, ded=STD_DED)
    adjustment(129, 12, imponibile_t=17435.52, imponibile_p=0, ritlorda=4186.17, ritnetta=2324.23,
               detrazioni=1861.94, implavdip=1861.94, addcom_dov=139.48, addreg_dov=240.69, giorni=365)

    # 30 Entertainment fund: professional subject to ex ENPALS.
    n = 30
    person(n, 'LONGO', 'ANTONIO', 'M', (1969, 12, 12), 'NAPOLI', 'RAVENNA', 4)
    relationship(130, n, 14, 10, '2025-05-01', '2025-05-31', enpals=1)
    r = register(130, 5, 14, 10, cot=2, causale='A')
    pay(r, 10015, 3000)
    wh(r, 11, imp=3000, rit=600)
    wh(r, 16, imp=3000, rit=275.70, imp_amm=3000, rit_amm=714.30, ctragg=30)

    # 31 External staff refunds only (position 9): never listed by default.
    n = 31
    person(n, 'GENTILE', 'ELISA', 'F', (1991, 9, 9), 'RAVENNA', 'RAVENNA', 4)
    relationship(131, n, 9, 7, '2025-03-01', '2025-03-31')
    r = register(131, 3, 9, 7, cot=2)
    pay(r, 10012, 120)

    # 32 Contract going on after 2025.
    n = 32
    person(n, 'MARTINELLI', 'PIETRO', 'M', (1996, 1, 19), 'RAVENNA', 'RAVENNA', 1)
    relationship(132, n, 3, 2, '2025-09-01', '2026-08-31')
    monthly(132, range(9, 13), 3, 2, 2100, 438.61, 288.61, ded=STD_DED)

    # 33 Self-employed (position 15) taxed separately (code 12).
    n = 33
    person(n, 'VITALE', 'ILARIA', 'F', (1980, 8, 30), 'RAVENNA', 'RAVENNA', 4)
    relationship(133, n, 15, 7, '2025-06-01', '2025-06-30')
    r = register(133, 6, 15, 7, cot=2, causale='A')
    pay(r, 10011, 900)
    wh(r, 12, imp=900, rit=180)

    # 34 Self-employed (position 15) with nothing withheld, not flat-rate:
    #    certified as other sums not subject to withholding (code 21).
    n = 34
    person(n, 'LOMBARDO', 'DANIELE', 'M', (1975, 11, 11), 'RAVENNA', 'RAVENNA', 4)
    relationship(134, n, 15, 7, '2025-02-01', '2025-02-28')
    r = register(134, 2, 15, 7, cot=2, causale='A')
    pay(r, 10011, 400)

    # 35 Paid only in December: not listed when the closing month is
    #    November.
    n = 35
    person(n, 'SERRA', 'BEATRICE', 'F', (1997, 5, 15), 'RAVENNA', 'RAVENNA', 1)
    relationship(135, n, 4, 1, '2025-12-01', '2025-12-22')
    r = register(135, 12, 4, 1, days=22, dal='2025-12-01', al='2025-12-22')
    pay(r, 10001, 1500)
    wh(r, 3, imp=1500, rit=137.85, cos=10001)
    wh(r, 7, imp=1362.15, rit=313.29, lordo=313.29)

    # 36 Accessory pay only: no days of deduction.
    n = 36
    person(n, 'COPPOLA', 'RICCARDO', 'M', (1973, 7, 17), 'RAVENNA', 'RAVENNA', 1)
    relationship(136, n, 1, 2, '2002-09-01')
    r = register(136, 6, 1, 2, cot=2)
    v = pay(r, 10010, 700)
    wh(r, 3, imp=700, rit=64.33, imp_amm=700, rit_amm=169.40, riprid=3, line=v, item=10010)
    wh(r, 7, imp=635.67, rit=146.20, lordo=146.20, line=v, item=10010)

    # 37 Adjustment and 10 days of absence.
    n = 37
    person(n, 'DE SANTIS', 'GIADA', 'F', (1982, 12, 6), 'RAVENNA', 'RAVENNA', 2)
    relationship(137, n, 1, 4, '2011-09-01')
    monthly(137, ALL, 1, 4, 1550, 262.35, 112.35, ded=STD_DED)
    add('tass_assenze', iassid=2, iacomid=137, imesid=2, iassgiorni=4, sassdesc='ASPETTATIVA')
    add('tass_assenze', iassid=3, iacomid=137, imesid=10, iassgiorni=6, sassdesc='ASPETTATIVA')
    adjustment(137, 12, imponibile_t=16891.20, imponibile_p=0, ritlorda=4041.36, ritnetta=2147.76,
               detrazioni=1893.60, implavdip=1893.60, addcom_dov=135.13, addreg_dov=233.17, giorni=355)

    # 38 Apostrophe in the surname; deductions without adjustment.
    n = 38
    person(n, "D'ANGELO", 'TOMMASO', 'M', (1978, 2, 2), 'RAVENNA', 'RAVENNA', 1)
    relationship(138, n, 1, 2, '2005-09-01')
    monthly(138, ALL, 1, 2, 2400, 460, 310, addcom=11, addreg=28, ded=STD_DED)

    # 39 Public pension from UniEmens: rate scale 1 in the rate table.
    n = 39
    person(n, 'MARCHETTI', 'IRENE', 'F', (1967, 6, 26), 'RAVENNA', 'RAVENNA', 1)
    relationship(139, n, 1, 1, '1993-09-01', scala=1)
    monthly(139, ALL, 1, 1, 2550, 493, 343, inpdap=True, inps_rate='8.80', ded=STD_DED)

    # 40 Teacher who left on 31 August (open-ended, retirement), no
    #    adjustment.
    n = 40
    person(n, 'PELLEGRINI', 'FRANCO', 'M', (1958, 8, 31), 'RAVENNA', 'RAVENNA', 1)
    relationship(140, n, 1, 2, '1985-09-01', '2025-08-31', scala=1)
    monthly(140, range(1, 9), 1, 2, 2900, 598, 448, inpdap=True, inps_rate='8.80', addcom=14, addreg=33,
            ded=STD_DED)


def main():
    code_tables()
    payees()
    order = ['tsex_sessi', 'tsta_stati', 'tmes_mesi', 'tcal_categorie', 'ttno_posgiuridiche', 'tqar_qualifiche',
             'trice_ritenute', 'tcomr_vocicompenso', 'trica_aliquote', 'tenpm_massimali', 'ttdla_detrlavoro',
             'ttdco_detrconiuge', 'ttdfa_detrfamiliari', 'ttdca_detrcanone', 'ttdcu_cuneofiscale', 'tccnl_contratti',
             'tana_anagrafiche', 'tanaabt_indirizzi', 'tanaper_personale', 'tacom_rapporti', 'tregs_registri',
             'tvacr_vocicalcolate', 'tvarr_varritenute', 'tadetr_detrazioniregs', 'tass_assenze', 'tcong_conguagli',
             'tadet_detrazioni', 'tadef_detrfigli', 'tafp_fondipensione', 'tcfsa_accfuorisistema']
    assert set(order) == set(rows), set(rows) ^ set(order)
    with open(OUT, 'w', encoding='utf-8') as f:
        f.write('-- Demo: the payroll of the demo school for 2025, ~40 payees each showing one\n'
                '-- case of the CU import (docs/demo-payees.md). Written by\n'
                '-- tools/demo-payroll/make_demo_payroll.py: change the payees there.\n')
        for t in order:
            cols, values = rows[t]
            f.write('\n')
            for i in range(0, len(values), 50):
                chunk = values[i:i + 50]
                f.write('INSERT INTO %s (%s) VALUES\n' % (t, ', '.join(cols)))
                f.write(',\n'.join('    (' + ', '.join(q(v) for v in r) + ')' for r in chunk))
                f.write('\nON CONFLICT DO NOTHING;\n')
    print('%s: %d rows' % (os.path.normpath(OUT), sum(len(v[1]) for v in rows.values())), file=sys.stderr)


if __name__ == '__main__':
    main()
