-- The door's side of the program's calls: each call is one transaction that begins here.

-- The answer of each procedure call that stored something, under the key the program made for it, so
-- that a call sent again after its answer was lost finds what the first one did instead of doing it
-- twice. Kept for two days; a call that stored nothing keeps nothing (done again, it changes what doing
-- it once would), and neither does one that issued a credential (a log-on changes nothing twice).
CREATE TABLE IF NOT EXISTS door_answers (
    call_key text PRIMARY KEY,
    acc_id   integer NOT NULL,
    answer   text,
    created  timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS door_answers_created ON door_answers (created);

-- The answers each account kept, by the hour they were kept in: the sum of its last two days' hours is
-- what it keeps now (an hour at most too many), read without counting the answers themselves.
CREATE TABLE IF NOT EXISTS door_answer_counts (
    acc_id integer NOT NULL,
    hour   timestamptz NOT NULL,
    kept   integer NOT NULL,
    PRIMARY KEY (acc_id, hour)
);

-- The call stored something: its answer is worth keeping. A setting of the call's transaction, which
-- only the procedures' own functions set.
CREATE OR REPLACE FUNCTION zp_note_stored() RETURNS void
LANGUAGE sql VOLATILE AS $$
    SELECT set_config('qentara.stored', 'on', true)
$$;

-- The answers the account keeps now.
CREATE OR REPLACE FUNCTION zp_kept_answers(acc integer) RETURNS bigint
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT coalesce(sum(kept), 0) FROM door_answer_counts
     WHERE acc_id = acc AND hour > now() - interval '2 days 1 hour'
$$;

-- Procedures that may run twice with the same effect (each replaces what it stored, or only reads):
-- their answers are not kept. Every other procedure's are.
CREATE TABLE IF NOT EXISTS door_repeatable (proname text PRIMARY KEY);
INSERT INTO door_repeatable (proname)
VALUES ('sp_savestory'), ('sp_saveimage'), ('sp_deleteZpdata'), ('sp_Getzpdata2')
ON CONFLICT DO NOTHING;
DROP FUNCTION IF EXISTS door_begin(text, text, OUT integer, OUT boolean, OUT text);
DROP FUNCTION IF EXISTS door_keep(text, text);

-- Begins a call: binds the transaction to the account of the credential (0 without one) and answers it.
-- A credential that is unknown or has lapsed is refused (QN401). With a key, a call sent before under it
-- is waited for while it runs; when it kept an answer, that answer is raised (QN409, as the detail) and
-- nothing else of the call runs; a key of another account is refused. A new keyed call of an account
-- that keeps its fill of answers is refused (QN429, with the message the user is shown).
CREATE OR REPLACE FUNCTION door_begin(credential text, key text) RETURNS integer
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := 0;
    kept door_answers%ROWTYPE;
BEGIN
    IF coalesce(credential, '') <> '' THEN
        acc := zp_credential_account(credential);
        IF acc = 0 THEN
            RAISE EXCEPTION 'credential unknown or lapsed' USING ERRCODE = 'QN401';
        END IF;
    END IF;
    PERFORM set_config('qentara.account', acc::text, true);  -- as zp_bind_account binds
    IF coalesce(key, '') = '' THEN
        RETURN acc;
    END IF;
    IF key !~ '^[0-9A-Za-z-]{16,64}$' THEN
        RAISE EXCEPTION 'malformed call key' USING ERRCODE = '22023';
    END IF;
    PERFORM pg_advisory_xact_lock(hashtextextended('door:' || key, 0));
    SELECT * INTO kept FROM door_answers WHERE call_key = key;
    IF FOUND THEN
        IF kept.acc_id <> acc THEN
            RAISE EXCEPTION 'call key of another account' USING ERRCODE = '42501';
        END IF;
        RAISE EXCEPTION 'answered before' USING ERRCODE = 'QN409', DETAIL = kept.answer;
    END IF;
    IF zp_kept_answers(acc) >= zp_limit('kept_answers') THEN
        RAISE EXCEPTION '帐号两天内在服务器上的保存已达 % 次的上限，请稍后再试。', zp_limit('kept_answers')
            USING ERRCODE = 'QN429';
    END IF;
    RETURN acc;
END $$;

-- Opens a call in one statement: door_begin's checks and binding, the caller's address (when given), a
-- picture call's longer time-out, and the program's rights for the rest of the transaction. commit_as
-- 'later' lets its commit go without waiting for the disk (a call of a batch whose last commit waits:
-- the log is written in order, so that one brings every commit before it to disk); 'flushing' makes
-- sure that its commit does wait, with a transaction id even for a call that writes nothing. It runs as
-- its caller, the page service: a function that runs as its owner may not take on another role.
CREATE OR REPLACE FUNCTION door_open(credential text, key text, address text, picture boolean,
                                     commit_as text) RETURNS integer
LANGUAGE plpgsql SECURITY INVOKER SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := door_begin(credential, key);
BEGIN
    IF coalesce(address, '') <> '' THEN
        PERFORM set_config('qentara.address', address, true);
    END IF;
    IF picture THEN
        PERFORM set_config('statement_timeout', '120s', true);
    END IF;
    IF commit_as = 'later' THEN
        PERFORM set_config('synchronous_commit', 'off', true);
    ELSIF commit_as = 'flushing' THEN
        PERFORM pg_current_xact_id();
    END IF;
    PERFORM set_config('role', 'qntzpsvr01', true);
    RETURN acc;
END $$;
REVOKE EXECUTE ON FUNCTION door_open(text, text, text, boolean, text) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION door_open(text, text, text, boolean, text) TO qntzp_pages;

-- An empty commit that waits for the disk brings every commit before it there (the log is written in
-- order): its transaction needs an id, without which a commit writes nothing and waits for nothing.
CREATE OR REPLACE FUNCTION door_flush() RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM pg_current_xact_id();
END $$;

-- Keeps the answer of the call begun with key for acc when the call stored something, counted against
-- acc. Answers older than two days are swept once a minute, a batch at a time.
CREATE OR REPLACE FUNCTION door_keep(key text, acc integer, answer text) RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    swept integer;
BEGIN
    IF current_setting('qentara.stored', true) IS DISTINCT FROM 'on' THEN
        RETURN;
    END IF;
    INSERT INTO door_answers (call_key, acc_id, answer) VALUES (key, acc, answer) ON CONFLICT DO NOTHING;
    IF FOUND THEN
        INSERT INTO door_answer_counts AS c (acc_id, hour, kept) VALUES (acc, date_trunc('hour', now()), 1)
        ON CONFLICT (acc_id, hour) DO UPDATE SET kept = c.kept + 1;
    END IF;
    IF zp_due('door_answers', interval '1 minute') THEN
        DELETE FROM door_answers WHERE call_key IN (
            SELECT call_key FROM door_answers WHERE created < now() - interval '2 days' LIMIT 50000);
        GET DIAGNOSTICS swept = ROW_COUNT;
        IF swept = 50000 THEN
            PERFORM zp_due_again('door_answers');
        END IF;
        DELETE FROM door_answer_counts WHERE hour <= now() - interval '2 days 1 hour';
    END IF;
END $$;

-- The declared parameters of the procedure the program calls by name: only those the program's rights
-- reach (qntzpsvr01), names compared without regard to case, the exact spelling first. One row per
-- parameter in its order (one with no parameter for a procedure without), each with the procedure's own
-- facts.
DROP FUNCTION IF EXISTS door_procedures(text);
CREATE OR REPLACE FUNCTION door_procedures(wanted text)
RETURNS TABLE (proc_oid oid, proc_name text, is_procedure boolean, returns_set boolean, repeatable boolean,
               arg_name text, arg_mode text, arg_type oid, arg_type_name text)
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT p.oid, p.proname::text, p.prokind = 'p', p.proretset,
           EXISTS (SELECT 1 FROM door_repeatable r WHERE r.proname = p.proname), a.name, a.mode::text, a.type,
           format_type(a.type, NULL)
      FROM pg_proc p
      LEFT JOIN LATERAL unnest(coalesce(p.proallargtypes, p.proargtypes::oid[]),
                               coalesce(p.proargmodes, array_fill('i'::"char", ARRAY[p.pronargs::int])),
                               p.proargnames) WITH ORDINALITY AS a(type, mode, name, ord) ON true
     WHERE p.pronamespace = 'public'::regnamespace AND lower(p.proname) = lower(wanted)
       AND p.proowner = 'qntzp_owner'::regrole AND has_function_privilege('qntzpsvr01', p.oid, 'EXECUTE')
     ORDER BY p.proname = wanted DESC, p.oid, a.ord
$$;
