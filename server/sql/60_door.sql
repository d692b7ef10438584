-- The door's side of the program's calls: each call is one transaction that begins here.

-- The answer of each procedure call, under the key the program made for it, so that a call sent again
-- after its answer was lost finds what the first one did instead of doing it twice. Kept for two days;
-- a call that issued a credential keeps nothing (it is done again: a log-on changes nothing twice).
CREATE TABLE IF NOT EXISTS door_answers (
    call_key text PRIMARY KEY,
    acc_id   integer NOT NULL,
    answer   text,
    created  timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS door_answers_created ON door_answers (created);
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
-- nothing else of the call runs; a key of another account is refused.
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
    RETURN acc;
END $$;

-- Keeps the answer of the call begun with key for acc.
CREATE OR REPLACE FUNCTION door_keep(key text, acc integer, answer text) RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    INSERT INTO door_answers (call_key, acc_id, answer) VALUES (key, acc, answer) ON CONFLICT DO NOTHING;
    IF random() < 0.001 THEN
        DELETE FROM door_answers WHERE created < now() - interval '2 days';
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
