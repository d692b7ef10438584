-- What the page service asks of the database: its account calls these (95_rights.sql);
-- the program's account cannot.

-- 1 when the account's data-openness level was changed, else 0.
CREATE OR REPLACE FUNCTION page_change_protected(accid integer, level integer) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH changed AS (
        UPDATE accounts SET open_level = level WHERE acc_id = accid AND level BETWEEN 0 AND 2 RETURNING 1)
    SELECT count(*)::integer FROM changed
$$;

-- The trees the account can download: the roots of its own first, then those others opened to it,
-- named with their creator's nickname.
CREATE OR REPLACE FUNCTION page_book_roots(accid integer) RETURNS TABLE (shown text, root_id integer)
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT CASE WHEN m.myacc_id = accid OR a.nickname = '' THEN m.filial
                ELSE m.filial || '（' || a.nickname || '）' END,
           m.filial_id
      FROM members m JOIN accounts a ON a.acc_id = m.myacc_id
     WHERE m.father_id IS NULL AND zp_visible(m.myacc_id, accid)
     ORDER BY (m.myacc_id = accid) DESC, m.filial_id
$$;

-- The data-openness level of accid as the proven account (viewer) may know it: its own, or that of an
-- account whose members it may see; 0 for any other, as for an unknown account.
DROP FUNCTION IF EXISTS page_account_level(integer);
CREATE OR REPLACE FUNCTION page_account_level(accid integer, viewer integer) RETURNS integer
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT coalesce((SELECT open_level FROM accounts
                      WHERE acc_id = accid AND viewer > 0 AND zp_visible(accid, viewer)), 0)
$$;

-- The association accid belongs to (a request still waiting does not count) as the proven account
-- (viewer) may know it: its own, or one the viewer belongs to or last left (whose members its members'
-- openness came through); 0 for any other.
DROP FUNCTION IF EXISTS page_account_group(integer);
CREATE OR REPLACE FUNCTION page_account_group(accid integer, viewer integer) RETURNS integer
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT coalesce((SELECT a.group_id FROM accounts a JOIN accounts v ON v.acc_id = viewer
                      WHERE a.acc_id = accid AND a.group_state = 0 AND viewer > 0
                        AND (a.acc_id = v.acc_id
                             OR (a.group_id > 0 AND (a.group_id = v.lastgroup_id
                                                     OR (a.group_id = v.group_id AND v.group_state = 0))))), 0)
$$;

-- The log-on page: a log-on (or a registration, register 1, at level 0) as sp_trylogon makes it, with a
-- credential for the pages and the program's connections when it succeeds ("" otherwise).
CREATE OR REPLACE FUNCTION page_try_logon(account_no text, pswd_digest text, pswd2_digest text, nick text,
                                          register integer)
RETURNS TABLE (state integer, acc_id integer, nickname text, group_id integer, open_level integer,
               credential text)
LANGUAGE sql SET search_path = public, pg_temp AS $$
    SELECT t.state, t.acc_id, coalesce(t.nickname, ''), t.group_id, coalesce(t.open_level, 0),
           CASE WHEN t.state IN (1, 3) THEN zp_new_credential(t.acc_id) ELSE '' END
      FROM zp_try_logon(account_no, pswd_digest, pswd2_digest, nick, 0, register) t
$$;
