-- Who a call acts for. The program reaches the database only through the door: each call is one
-- transaction on a connection of the page service's pool, which binds it to the account whose credential
-- the call carries (door_begin), or the log-on binds it (sp_trylogon checks the password). Pages prove the
-- account with the credential alone. Ids that callers send are checked against the proven account, never
-- believed.

-- The account a transaction proved is a setting of that transaction (qentara.account), gone when it
-- ends, so that nothing passes to the next call on the connection. Only the door's and the log-on's
-- functions set it: the program's calls reach the procedures alone, never SQL that could set it.

-- Credentials issued at log-on: only their SHA-256 is kept. A credential lapses twelve hours after it
-- was last used, and seven days after it was issued however much it is used (a stolen one does not last
-- for good); an account keeps its twenty latest. Log-off deletes it (door_close).
CREATE TABLE IF NOT EXISTS session_credentials (
    token_hash bytea PRIMARY KEY,
    acc_id     integer NOT NULL REFERENCES accounts ON DELETE CASCADE,
    expires    timestamptz NOT NULL
);
ALTER TABLE session_credentials ADD COLUMN IF NOT EXISTS created timestamptz NOT NULL DEFAULT now();
CREATE INDEX IF NOT EXISTS session_credentials_expires ON session_credentials (expires);
CREATE INDEX IF NOT EXISTS session_credentials_account ON session_credentials (acc_id, expires);

-- The account this transaction proved; 0 for none.
CREATE OR REPLACE FUNCTION zp_bound_account() RETURNS integer
LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN coalesce(nullif(current_setting('qentara.account', true), '')::integer, 0);
END $$;

-- Binds this transaction to acc (0: to none), whose password it has just proven. Only such a binding
-- mints a credential (zp_session_token): one made from a credential (door_begin) does not.
CREATE OR REPLACE FUNCTION zp_bind_account(acc integer) RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM set_config('qentara.account', coalesce(acc, 0)::text, true);
    PERFORM set_config('qentara.password_account', coalesce(acc, 0)::text, true);
END $$;

-- The proven account, for a procedure that acts for one; refused in a call that proved none.
CREATE OR REPLACE FUNCTION zp_proven_account() RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_bound_account();
BEGIN
    IF acc = 0 THEN
        RAISE EXCEPTION '尚未登录服务器，不能代表任何帐号操作。请先登录。' USING ERRCODE = '42501';
    END IF;
    RETURN acc;
END $$;

-- The account a procedure acts for when the caller names it: the proven one, and only when named.
CREATE OR REPLACE FUNCTION zp_acting_account(sent integer) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_proven_account();
BEGIN
    IF sent IS DISTINCT FROM acc THEN
        RAISE EXCEPTION '帐号 % 不是本次登录的帐号，操作被拒绝。', coalesce(sent::text, '（空）')
            USING ERRCODE = '42501';
    END IF;
    RETURN acc;
END $$;

-- The account a reading sees through: 0 (what is open to the world) when the caller names none,
-- otherwise as zp_acting_account.
CREATE OR REPLACE FUNCTION zp_reading_account(sent integer) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
BEGIN
    RETURN CASE WHEN coalesce(sent, 0) = 0 THEN 0 ELSE zp_acting_account(sent) END;
END $$;

-- The account a credential stands for, 0 when it is unknown or has lapsed. A use renews it (at most
-- once an hour, so that reading pages does not mean writing each time).
CREATE OR REPLACE FUNCTION zp_credential_account(token text) RETURNS integer
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    hash bytea := digest(coalesce(token, ''), 'sha256');
    found_acc integer;
    found_expires timestamptz;
BEGIN
    -- PL/pgSQL, whose plans are kept: every call of the program passes here.
    SELECT acc_id, expires INTO found_acc, found_expires FROM session_credentials
     WHERE token_hash = hash AND expires > now() AND created > now() - interval '7 days';
    IF found_acc IS NULL THEN
        RETURN 0;
    END IF;
    IF found_expires < now() + interval '11 hours' THEN
        UPDATE session_credentials SET expires = least(now() + interval '12 hours', created + interval '7 days')
         WHERE token_hash = hash;
    END IF;
    RETURN found_acc;
END $$;

-- A new credential for acc, whose password was just proven: 48 hex digits, only their SHA-256 kept.
CREATE OR REPLACE FUNCTION zp_new_credential(acc integer) RETURNS text
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    token text := encode(gen_random_bytes(24), 'hex');
BEGIN
    DELETE FROM session_credentials WHERE expires < now() OR created < now() - interval '7 days';
    DELETE FROM session_credentials WHERE token_hash IN (
        SELECT token_hash FROM session_credentials WHERE acc_id = acc ORDER BY expires DESC OFFSET 19);
    INSERT INTO session_credentials (token_hash, acc_id, expires)
    VALUES (digest(token, 'sha256'), acc, now() + interval '12 hours');
    RETURN token;
END $$;

-- A new credential for the account this transaction proved by its password, for the pages that act for
-- it and for the program's later calls: 48 hex digits. NULL when it proved none; refused when it was
-- bound by a credential, which would otherwise renew itself for good.
CREATE OR REPLACE FUNCTION zp_session_token() RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_bound_account();
BEGIN
    IF acc = 0 THEN
        RETURN NULL;
    END IF;
    IF current_setting('qentara.password_account', true) IS DISTINCT FROM acc::text THEN
        RAISE EXCEPTION '只有凭密码登录才能取得新的凭据。' USING ERRCODE = '42501';
    END IF;
    RETURN zp_new_credential(acc);
END $$;

DROP FUNCTION IF EXISTS zp_bind_session(text);

-- The page service's check of a request's credential: the account, 0 for none.
CREATE OR REPLACE FUNCTION page_credential_account(token text) RETURNS integer
LANGUAGE sql VOLATILE SET search_path = public, pg_temp AS $$
    SELECT CASE WHEN coalesce(token, '') = '' THEN 0 ELSE zp_credential_account(token) END
$$;

-- The door issues a log-on's credential with it; the program's own calls cannot.
GRANT EXECUTE ON ROUTINE zp_session_token() TO qntzp_pages;

-- Log-off: the credential is forgotten at once. The account it stood for, 0 when it was unknown or had
-- lapsed already.
CREATE OR REPLACE FUNCTION door_close(credential text) RETURNS integer
LANGUAGE sql VOLATILE SET search_path = public, pg_temp AS $$
    WITH gone AS (
        DELETE FROM session_credentials WHERE token_hash = digest(coalesce(credential, ''), 'sha256')
        RETURNING acc_id, expires, created)
    SELECT coalesce((SELECT acc_id FROM gone
                      WHERE expires > now() AND created > now() - interval '7 days'), 0)
$$;

-- Password guessing. The address a log-on or registration comes from, as the page service saw it (the
-- door's, behind nginx): a setting of the transaction the page service makes; '' when none was made.
CREATE OR REPLACE FUNCTION zp_caller_address() RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT coalesce(current_setting('qentara.address', true), '')
$$;

-- Wrong passwords in a row, per account and scope: '' for every address the account has not logged on
-- from lately, or one address it has (logon_addresses), so that somebody guessing elsewhere does not
-- keep the owner waiting at home. Forgotten a day after the last one, or at a right password.
CREATE TABLE IF NOT EXISTS logon_failures (
    acc_id       integer NOT NULL REFERENCES accounts ON DELETE CASCADE,
    address      text NOT NULL,
    failures     integer NOT NULL,
    last_failure timestamptz NOT NULL,
    next_try     timestamptz NOT NULL,
    PRIMARY KEY (acc_id, address)
);
CREATE TABLE IF NOT EXISTS logon_addresses (
    acc_id     integer NOT NULL REFERENCES accounts ON DELETE CASCADE,
    address    text NOT NULL,
    last_logon timestamptz NOT NULL,
    PRIMARY KEY (acc_id, address)
);

-- How long an account waits after this many wrong passwords in a row: five are answered at once, then
-- each waits twice as long as the one before, from a second up to five minutes. Bounded, so that
-- nobody can shut the owner out for longer than that.
CREATE OR REPLACE FUNCTION zp_logon_delay(failures integer) RETURNS interval
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN failures < 5 THEN interval '0'
                ELSE least(300, 2 ^ least(failures - 5, 10)) * interval '1 second' END
$$;

-- The cost a bcrypt hash was made with; 0 for anything else.
CREATE OR REPLACE FUNCTION zp_bcrypt_cost(hash text) RETURNS integer
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(substring(hash FROM '^\$2[abxy]?\$([0-9]{2})\$')::integer, 0)
$$;

-- A salted bcrypt hash of a password digest, at a cost that makes each check take tens of milliseconds.
CREATE OR REPLACE FUNCTION zp_password_hash(digest text) RETURNS text
LANGUAGE sql VOLATILE SET search_path = public, pg_temp AS $$
    SELECT crypt(coalesce(digest, ''), gen_salt('bf', 10))
$$;

-- Whether digest is acc's password. An account that was sent too many wrong ones answers nothing until
-- its delay has passed (QN429, with the seconds left): tries sent meanwhile are not checked and not
-- counted. A right password clears the count and remembers the address; a hash of a lower cost is made
-- again at the present one.
CREATE OR REPLACE FUNCTION zp_password_checked(acc integer, digest text) RETURNS boolean
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    caller text := zp_caller_address();
    scope text;
    failed logon_failures%ROWTYPE;
    stored text;
    count_now integer;
BEGIN
    SELECT address INTO scope FROM logon_addresses
     WHERE acc_id = acc AND address = caller AND caller <> '' AND last_logon > now() - interval '90 days';
    scope := coalesce(scope, '');
    -- Tries sent together are checked one after the other, each seeing what the one before left.
    PERFORM pg_advisory_xact_lock(hashtextextended('logon:' || acc || ':' || scope, 0));
    SELECT * INTO failed FROM logon_failures WHERE acc_id = acc AND address = scope;
    IF FOUND AND failed.next_try > clock_timestamp() THEN
        RAISE EXCEPTION '密码错误的次数太多，请 % 秒后再试。',
            ceil(extract(epoch FROM failed.next_try - clock_timestamp()))::integer USING ERRCODE = 'QN429';
    END IF;
    SELECT pswd_hash INTO stored FROM accounts WHERE acc_id = acc;
    IF stored = crypt(coalesce(digest, ''), stored) THEN
        DELETE FROM logon_failures WHERE acc_id = acc AND address = scope;
        IF caller <> '' THEN
            INSERT INTO logon_addresses (acc_id, address, last_logon) VALUES (acc, caller, now())
            ON CONFLICT (acc_id, address) DO UPDATE SET last_logon = now();
            DELETE FROM logon_addresses WHERE acc_id = acc AND last_logon < now() - interval '90 days';
        END IF;
        IF zp_bcrypt_cost(stored) < 10 THEN
            UPDATE accounts SET pswd_hash = zp_password_hash(digest) WHERE acc_id = acc;
        END IF;
        RETURN true;
    END IF;
    count_now := CASE WHEN failed.last_failure > now() - interval '1 day' THEN failed.failures + 1 ELSE 1 END;
    INSERT INTO logon_failures (acc_id, address, failures, last_failure, next_try)
    VALUES (acc, scope, count_now, clock_timestamp(), clock_timestamp() + zp_logon_delay(count_now))
    ON CONFLICT (acc_id, address) DO UPDATE
        SET failures = EXCLUDED.failures, last_failure = EXCLUDED.last_failure, next_try = EXCLUDED.next_try;
    RETURN false;
END $$;

-- Wrong passwords in a row sent for a number that has no account, counted and delayed exactly as an
-- account's outside its own addresses, so that neither the answers nor their timing tell whether a number
-- has an account. Only the number's SHA-256 is kept; forgotten a day after the last one, and never more
-- than zp_unknown_numbers_kept() numbers (those tried longest ago go first).
CREATE TABLE IF NOT EXISTS logon_unknown_failures (
    number_hash  bytea PRIMARY KEY,
    failures     integer NOT NULL,
    last_failure timestamptz NOT NULL,
    next_try     timestamptz NOT NULL
);
CREATE INDEX IF NOT EXISTS logon_unknown_failures_last ON logon_unknown_failures (last_failure);

CREATE OR REPLACE FUNCTION zp_unknown_numbers_kept() RETURNS integer
LANGUAGE sql IMMUTABLE AS $$ SELECT 100000 $$;

-- The check of a password sent for a number without an account: never right, and as costly as checking
-- a real one (a bcrypt hash of cost 10 that no digest matches).
CREATE OR REPLACE FUNCTION zp_unknown_number_checked(account_no text, pswd_digest text) RETURNS boolean
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    hash bytea := digest(coalesce(account_no, ''), 'sha256');
    failed logon_unknown_failures%ROWTYPE;
    count_now integer;
BEGIN
    PERFORM pg_advisory_xact_lock(hashtextextended('logon-unknown:' || encode(hash, 'hex'), 0));
    SELECT * INTO failed FROM logon_unknown_failures WHERE number_hash = hash;
    IF FOUND AND failed.next_try > clock_timestamp() THEN
        RAISE EXCEPTION '密码错误的次数太多，请 % 秒后再试。',
            ceil(extract(epoch FROM failed.next_try - clock_timestamp()))::integer USING ERRCODE = 'QN429';
    END IF;
    PERFORM crypt(coalesce(pswd_digest, ''), '$2a$10$qentaraunknownnumberxO');
    count_now := CASE WHEN failed.last_failure > now() - interval '1 day' THEN failed.failures + 1 ELSE 1 END;
    INSERT INTO logon_unknown_failures (number_hash, failures, last_failure, next_try)
    VALUES (hash, count_now, clock_timestamp(), clock_timestamp() + zp_logon_delay(count_now))
    ON CONFLICT (number_hash) DO UPDATE
        SET failures = EXCLUDED.failures, last_failure = EXCLUDED.last_failure, next_try = EXCLUDED.next_try;
    IF zp_due('logon_unknown_failures', interval '1 minute') THEN
        DELETE FROM logon_unknown_failures WHERE last_failure < now() - interval '1 day';
        DELETE FROM logon_unknown_failures WHERE number_hash IN (
            SELECT number_hash FROM logon_unknown_failures
             ORDER BY last_failure DESC OFFSET zp_unknown_numbers_kept());
    END IF;
    RETURN false;
END $$;

-- Accounts registered from each address lately. A registration beyond twenty a day from one address is
-- refused (QN430) and leaves nothing.
CREATE TABLE IF NOT EXISTS registrations (
    address    text NOT NULL,
    registered timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS registrations_address ON registrations (address, registered);

-- Refuses a registration from an address that has made its twenty today (QN430). Asked before the
-- number is looked up, so that an address past its limit learns nothing of which numbers are taken; the
-- lock it takes holds until the registration is noted.
CREATE OR REPLACE FUNCTION zp_check_registration_address() RETURNS void
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    caller text := zp_caller_address();
    made integer;
BEGIN
    PERFORM pg_advisory_xact_lock(hashtextextended('register:' || caller, 0));
    SELECT count(*) INTO made FROM registrations
     WHERE address = caller AND registered > now() - interval '1 day';
    IF made >= 20 THEN
        RAISE EXCEPTION '从这个网络地址注册的帐号已达一天 20 个的上限，请明天再试。' USING ERRCODE = 'QN430';
    END IF;
END $$;

CREATE OR REPLACE FUNCTION zp_note_registration() RETURNS void
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM zp_check_registration_address();
    INSERT INTO registrations (address) VALUES (zp_caller_address());
    IF zp_due('registrations', interval '1 minute') THEN
        DELETE FROM registrations WHERE registered < now() - interval '1 day';
    END IF;
END $$;
